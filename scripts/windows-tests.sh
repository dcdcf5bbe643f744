#!/usr/bin/env bash
# The Windows part of CI: cross-builds the core, tessaro-cli.exe, the three
# encoders and the unit tests with mingw-w64 into build-win/, and runs them
# under Wine with the Chinese ANSI code page (936): the unit tests, then every
# output format through tessaro-cli.exe with the Windows ffmpeg.exe of the npm
# package @ffmpeg-installer/win32-x64@4.1.0, each output checked with the
# Linux ffprobe. Ends with the line "N passed, N failed"; exit status 1 when
# anything failed. Installs what it needs (apt-get, npm pack) when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-win

scripts/install-deps.sh

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTESSARO_GUI=OFF \
  -DCMAKE_BUILD_TYPE=Release ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} >/dev/null
cmake --build "$build" -j"$(nproc)"

ffmpeg_exe=$(scripts/windows-ffmpeg.sh "$build/npm")
cp "$ffmpeg_exe" "$build/app/data/ffmpeg.exe"

export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all WINEPREFIX=$build/wineprefix
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer at the first start
wineboot -i >/dev/null 2>&1

passed=0
failed=0

# Unit tests: one executable, its own summary counted.
. scripts/windows-gtest.sh
run_gtest "windows unit tests" "$build/tests/tessaro_tests.exe" "$build/windows-unit.log"

# Every format through tessaro-cli.exe, from a folder whose name is outside
# the ANSI code page.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
clip_dir="$work/输入 ﾃｽﾄ"
mkdir -p "$clip_dir"
clip="$clip_dir/片段 一.flv"
ffmpeg -nostdin -v error -y -f lavfi -i testsrc=duration=2:size=320x240:rate=25 \
  -f lavfi -i sine=frequency=440:duration=2:sample_rate=44100 \
  -c:v flv -b:v 400k -c:a libmp3lame -b:a 64k -ar 44100 -shortest "$clip"
extensions=(rmvb rm mpg avi mp4 mov mp4 3gp mp3 mp4 mp4 webm m4a flac opus wav)
for format in $(seq 0 15); do
  out="$work/出力 $format"
  ok=1
  if ! wine "$build/app/tessaro-cli.exe" -f "$format" -o "Z:$out" "Z:$clip" >"$work/cli.log" 2>&1; then
    ok=0
  fi
  files=("$out"/*)
  if [ $ok -eq 1 ] && [ ${#files[@]} -eq 1 ] && [ "${files[0]##*.}" = "${extensions[$format]}" ]; then
    streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "${files[0]}" || true)
    grep -q audio <<<"$streams" || ok=0
    # Formats 8 and 12 to 15 hold the sound alone.
    if [ "$format" -eq 8 ] || [ "$format" -ge 12 ]; then
      ! grep -q video <<<"$streams" || ok=0
    else
      grep -q video <<<"$streams" || ok=0
    fi
  else
    ok=0
  fi
  if [ $ok -eq 1 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: format $format through tessaro-cli.exe"
    cat "$work/cli.log"
  fi
done

# An odd frame size in a container that stage one encodes rather than copies,
# into a format that needs even sizes: conv.exe tells odd sizes from
# ffmpeg.exe's own report (there is no ffprobe.exe), as x264 refuses them.
odd="$work/奇数.ts"
ffmpeg -nostdin -v error -y -f lavfi -i testsrc=duration=2:size=321x241:rate=25 \
  -f lavfi -i sine=duration=2 -c:v mpeg2video -shortest "$odd"
wine "$build/app/tessaro-cli.exe" -f 6 -o "Z:$work/奇数出力" "Z:$odd" >"$work/cli.log" 2>&1 || true
size=$(ffprobe -v error -select_streams v -show_entries stream=width,height -of csv=p=0 \
  "$work/奇数出力"/*.mp4 2>/dev/null || true)
if [[ "$size" =~ ^[0-9]*[02468],[0-9]*[02468]$ ]]; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  echo "FAILED: an odd frame size through tessaro-cli.exe"
  cat "$work/cli.log"
fi

# Several files at once: three clips, two of the same name, into a two-stage
# format with -j 3; each gives its own playable file.
mkdir -p "$clip_dir/二"
cp "$clip" "$clip_dir/片段 二.flv"
cp "$clip" "$clip_dir/二/片段 一.flv"
out="$work/并行"
ok=1
wine "$build/app/tessaro-cli.exe" -j 3 -f 0 -o "Z:$out" "Z:$clip" "Z:$clip_dir/片段 二.flv" \
  "Z:$clip_dir/二/片段 一.flv" >"$work/cli.log" 2>&1 || ok=0
files=("$out"/*.rmvb)
[ ${#files[@]} -eq 3 ] || ok=0
for f in "${files[@]}"; do
  streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$f" || true)
  grep -q video <<<"$streams" || ok=0
done
if [ $ok -eq 1 ]; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  echo "FAILED: three files at once through tessaro-cli.exe"
  cat "$work/cli.log"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
