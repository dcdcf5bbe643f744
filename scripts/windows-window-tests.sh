#!/usr/bin/env bash
# The Windows window as its users get it, under Wine. Builds Qt for Windows
# (scripts/windows-qt.sh, cached), the window, its offscreen tests and the
# installer into build-winqt/; runs those tests; installs the installer
# silently into a fresh Wine prefix and, under Xvfb, drives the installed
# tessaro.exe as a user would, started through its Start-menu shortcut with
# no argument of ours: a screenshot whose Chinese captions and line-edit texts
# must read back (OCR), a clip added through the file chooser by typing its
# path and converted, a second conversion stopped, the end of the session
# during a third, the exit button, the window at 144 dpi; then uninstalls
# silently. Screenshots go to build-winqt/screenshots. Ends with the line
# "N passed, N failed"; exit status 1 when anything failed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-winqt

scripts/install-deps.sh

# --- Build: Qt, the window and its tests, the installer ----------------------
# TESSARO_QT_PREFIX: a Qt for Windows of one's own instead of the cached build.
qt=${TESSARO_QT_PREFIX:-$(scripts/windows-qt.sh)}
ffmpeg_exe=$(scripts/windows-ffmpeg.sh "$build/npm")
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DTESSARO_GUI=ON \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_BUILD_TYPE=Release -DTESSARO_WINDOWS_FFMPEG="$ffmpeg_exe" \
  ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G NSIS >/dev/null)
installer=$(ls "$build"/Tessaro-*-win64.exe)

export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer at the first start
passed=0
failed=0
check() {  # description, then a command that succeeds when it holds
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
    [ -z "${DISPLAY:-}" ] || import -window root "$build/screenshots/failed-$failed.png" || true
  fi
}

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# --- The window's offscreen tests --------------------------------------------
# Each executable run whole from the application folder (beside Qt's DLLs,
# plugins and qt.conf), in a Wine prefix of their own.
export WINEPREFIX=$build/wineprefix
wineboot -i >/dev/null 2>&1
# The offscreen platform takes its fonts from %WINDIR%\Fonts (the tests' main
# says so): a CJK font, so that the Chinese captions are measured as drawn.
cp -u /usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc "$WINEPREFIX/drive_c/windows/Fonts/"
. scripts/windows-gtest.sh
for tests in tessaro_gui_tests tessaro_dialog_tests; do
  run_gtest "windows $tests" "$build/app/$tests.exe" "$build/windows-$tests.log"
done
wineserver -k 2>/dev/null || true

# --- Install silently into a fresh prefix -------------------------------------
export WINEPREFIX=$build/wine-installed
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
# The CJK font of the captions, as a Chinese Windows has one.
cp /usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc "$WINEPREFIX/drive_c/windows/Fonts/"
drive=$WINEPREFIX/drive_c
program="$drive/Program Files/Tessaro"
start_menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Tessaro.lnk"
desktop="$drive/users/Public/Desktop/Tessaro.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaro'
# Explorer's "用 Tessaro 转换" on video and audio files, for the installing user.
verb_keys=('HKCU\Software\Classes\SystemFileAssociations\video\shell\TessaroConvert'
           'HKCU\Software\Classes\SystemFileAssociations\audio\shell\TessaroConvert')
user_home="$drive/users/$(id -un)"
wine "$installer" /S
wineserver -w
installed() {
  for f in tessaro.exe tessaro-cli.exe data/conv.exe data/coder.exe data/coder2.exe data/ffmpeg.exe \
           data/ffmpeg-LICENSE.txt Qt6Core.dll platforms/qwindows.dll help.html sound.wav \
           skin.qss Uninstall.exe; do
    [ -f "$program/$f" ] || { echo "not installed: $f"; return 1; }
  done
  [ -f "$start_menu" ] && [ -f "$desktop" ] && wine reg query "$uninstall_key" >/dev/null 2>&1
}
check "the silent install puts the program, its shortcuts and its uninstall entry in place" installed
explorer_entries() {
  local key
  for key in "${verb_keys[@]}"; do
    wine reg query "$key\\command" /ve 2>/dev/null | tr -d '\r' |
      grep -qF 'Program Files\Tessaro\tessaro.exe" "%1"' ||
      { echo "no command under $key"; return 1; }
  done
}
check "the install adds Explorer's convert entry on video and audio files" explorer_entries

# --- The installed window under Xvfb -------------------------------------------
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
shots=$build/screenshots
rm -rf "$shots"
mkdir -p "$shots"

window_pid=""
start_window() {  # as the Start menu starts it; waits for the main window: its id in $window
  # The shortcut with no argument of ours: the font engine that draws the
  # line edits under Wine comes from the installed qt.conf.
  wine start /unix "$start_menu" >"$work/window.log" 2>&1
  window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Tessaro$' | head -1) || true
  window_pid=$(xdotool getwindowpid "$window" 2>/dev/null) || window_pid=""
  sleep 2  # drawn
}
click() {  # x y in the window at 96 dpi
  xdotool mousemove --window "$window" "$1" "$2" click 1
}
shot() {
  xdotool mousemove 1000 750  # no hover highlight in the picture
  sleep 0.5
  import -window root "$shots/$1.png"
}
# Chinese captions that the screenshot must read back: drawn, not empty boxes.
captions_read() {
  local text found=0
  text=$(convert "$shots/$1.png" -resize 300% -colorspace Gray png:- |
         tesseract stdin - -l chi_sim --psm 6 2>/dev/null | tr -d ' ')
  for caption in 添加文件 移除文件 退出程序 输出路径 视频尺寸 声音频率 开始转换; do
    grep -q "$caption" <<<"$text" && found=$((found + 1))
  done
  [ "$found" -ge 4 ] || { echo "captions read back: $found of 7"; return 1; }
}
# The texts of the line edits, read back from the screenshot: the numbers of
# RMVB's defaults in 视频比特率, 帧率, 声音频率, 声音比特率 and the output
# folder. Latin text in line edits is what Wine's GDI font engine leaves out.
fields_read() {  # screenshot name, scale in percent
  local scale=$2 text found=0 X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$window")"
  # The column of fields right of the list, from 视频比特率 to 输出路径.
  text=$(convert "$shots/$1.png" \
           -crop "$((195 * scale / 100))x$((205 * scale / 100))+$((X + 486 * scale / 100))+$((Y + 144 * scale / 100))" \
           -resize 300% -colorspace Gray png:- | tesseract stdin - -l eng --psm 6 2>/dev/null)
  for value in 1200 29 44100 320 'C:'; do
    grep -qF "$value" <<<"$text" && found=$((found + 1))
  done
  [ "$found" -ge 4 ] || { echo "field texts read back: $found of 5:"; echo "$text"; return 1; }
}
add_file() {  # Windows path, typed into the file chooser
  click 46 30  # 添加文件
  local chooser
  chooser=$(timeout 30 xdotool search --sync --onlyvisible --name '^Open Files$' | tail -1) || true
  xdotool windowfocus --sync "$chooser" 2>/dev/null || true
  xdotool key End shift+Home  # the name field keeps the last file chosen
  xdotool type --delay 10 "$1"
  xdotool key Return
  sleep 2
}
wait_for() {  # seconds, then a command; polls until it succeeds
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 2))); do "$@" && return 0; sleep 0.5; done
  return 1
}
any() {  # patterns: whether any file matches one of them
  local p
  for p in "$@"; do compgen -G "$p" >/dev/null && return 0; done
  return 1
}
began() {  # clip name: its conversion has left a trace
  any "$output/$1-*" "$output/.$1-*" "$temporary/tmp-*"
}
start_batch() {  # clip name; Wine may take the first click after a dialog for activation
  for _ in 1 2 3; do
    xdotool mousemove --window "$window" 560 380
    sleep 0.5
    click 582 393  # 立刻开始转换！
    wait_for 10 began "$1" && return 0
  done
  return 1
}

clips=$work/clips
mkdir -p "$clips"
ffmpeg -nostdin -v error -y -f lavfi -i testsrc=duration=3:size=320x240:rate=25 \
  -f lavfi -i sine=frequency=440:duration=3 -c:v flv -b:v 400k -c:a libmp3lame -ar 44100 \
  -shortest "$clips/short.flv"
# Long and large enough that its picture is still being encoded, in pieces
# on every processor, when Stop comes: a minute of 720p ten times over.
ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=duration=60:size=1280x720:rate=25 \
  -f lavfi -i sine=frequency=440:duration=60 -c:v flv -b:v 2000k -c:a libmp3lame -ar 44100 \
  -shortest "$clips/minute.flv"
for _ in $(seq 10); do echo "file 'minute.flv'"; done >"$clips/minute.ffconcat"
ffmpeg -nostdin -v error -y -f concat -safe 0 -i "$clips/minute.ffconcat" -c copy "$clips/long.flv"
output="$user_home/Tessaro"  # the installed copy's default output folder
temporary="$user_home/Temp/tessaro"

start_window
shot main
check "the window under Wine draws its Chinese captions" captions_read main
check "the window under Wine draws the texts of its line edits" fields_read main 100

# One clip through the chooser, converted into the default output folder.
add_file "Z:${clips//\//\\}\\short.flv"
start_batch short || true
converted() {
  local files=("$output"/short-*.rmvb)
  [ -f "${files[0]}" ] && ! any "$output/.*.part"
}
playable() {
  local files=("$output"/short-*.rmvb) streams
  streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "${files[0]}") || return 1
  grep -q video <<<"$streams" && grep -q audio <<<"$streams"
}
wait_for 120 converted || true
check "a clip added through the chooser converts into the output folder" playable
# The batch's end opens the output folder in Wine's explorer, over the window:
# close it (it goes with its X connection).
folder_opened() { xdotool search --onlyvisible --name '^Tessaro$' | grep -vqx "$window"; }
if wait_for 15 folder_opened; then
  for w in $(xdotool search --onlyvisible --name '^Tessaro$'); do
    [ "$w" = "$window" ] || xdotool windowkill "$w" || true
  done
fi

# A second conversion, stopped halfway: no partial file is left.
add_file "Z:${clips//\//\\}\\long.flv"
start_batch long || true
# Its partial output, or the pieces of its picture before that.
encoding() { any "$output/.long-*.part" "$temporary/piece-*"; }
wait_for 60 encoding || true
shot converting
running=0
began long && running=1
click 582 393  # 停止转换: asks first
question=$(timeout 30 xdotool search --sync --onlyvisible --name '^停止转换$' | tail -1) || true
xdotool windowfocus --sync "$question" 2>/dev/null || true
xdotool key alt+y
stopped_clean() {
  ! any "$output/.long-*" "$output/long-*" "$temporary/tmp-*" "$temporary/piece*"
}
sleep 3
stopped_clean_after_running() { [ "$running" -eq 1 ] && wait_for 30 stopped_clean; }
check "Stop during a conversion leaves no partial file" stopped_clean_after_running

# The end of the session during a conversion: the window stops, cleans up,
# saves and ends before the session does.
settings="$user_home/AppData/Roaming/tessaro/setup.ini"
ended() { ! kill -0 "$window_pid" 2>/dev/null; }
start_batch long || true
wait_for 60 encoding || true
running=0
began long && running=1
rm -f "$settings"
timeout 120 wineboot --end-session >/dev/null 2>&1 &
session_end=$!
session_end_clean() { [ "$running" -eq 1 ] && wait_for 30 ended && stopped_clean && [ -s "$settings" ]; }
check "the end of the session stops the conversion, cleans up and saves" session_end_clean
wait "$session_end" || true

# The exit button ends the program, which keeps its settings in %APPDATA%.
rm -f "$settings"
start_window
click 422 30  # 退出程序
check "the exit button ends the program" wait_for 30 ended
check "setup.ini is written under %APPDATA%\\tessaro" test -s "$settings"

# The same window at 144 dpi, for the eye and the OCR.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
start_window
shot main-144dpi
check "the window at 144 dpi draws its Chinese captions" captions_read main-144dpi
check "the window at 144 dpi draws the texts of its line edits" fields_read main-144dpi 150
kill "$window_pid" 2>/dev/null || true
wineserver -k
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1

# --- Uninstall silently ---------------------------------------------------------
wine "$program/Uninstall.exe" /S
wineserver -w
uninstalled() {
  [ ! -e "$program" ] && [ ! -e "$start_menu" ] && [ ! -e "$desktop" ] &&
    ! wine reg query "$uninstall_key" >/dev/null 2>&1 &&
    ! wine reg query "${verb_keys[0]}" >/dev/null 2>&1 &&
    ! wine reg query "${verb_keys[1]}" >/dev/null 2>&1 &&
    [ -s "$user_home/AppData/Roaming/tessaro/setup.ini" ]
}
check "the silent uninstall leaves no program folder, shortcut or Explorer entry, and keeps the settings" \
  wait_for 30 uninstalled

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
