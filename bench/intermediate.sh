#!/usr/bin/env bash
# The two-stage formats against their physical limit. For RMVB, MOV and 3GP
# on a detailed 20-second 640x368 FLV (Sorenson video at 1.5 Mbit/s, MP3):
#   time   wall time of the whole conversion through tessaro-cli (both stages)
#          over the stage-two command run directly on the source (target <= 1.15);
#   cpu ratio  the same for the CPU time of all the processes involved;
#   dPSNR  PSNR of tessaro-cli's final file against the source, minus that of
#          the direct run's final file (target >= -0.3 dB).
# RMVB also runs on a source with less noise: the RM muxer refuses video
# packets over 64 KB, which rv10 key frames of the detailed source exceed.
# Each repetition runs the direct command and every build side by side; the
# medians are printed. Give a second application folder (a copy of an older
# build/app, with its data/) to measure it in the same run.
#
# Usage: bench/intermediate.sh [build folder] [older app folder]   (REPS=3)
set -euo pipefail
source "$(dirname "$0")/isolate.sh" "$@"
cd "$(dirname "$0")/.."
APP="$(cd "${1:-build}/app" && pwd)"
OLD="${2:-}"
[[ -n $OLD ]] && OLD="$(cd "$OLD" && pwd)"
REPS=${REPS:-3}
for f in "$APP/tessaro-cli" "$APP/data/coder" "$APP/data/coder2" ${OLD:+"$OLD/tessaro-cli"}; do
  [[ -x $f ]] || { echo "missing $f: build first" >&2; exit 1; }
done

WORK="$(mktemp -d /tmp/tessaro-bench-intermediate.XXXXXX)"
trap 'rm -rf "$WORK"' EXIT
for noise in 12 4; do
  ffmpeg -nostdin -v error -y \
    -f lavfi -i "testsrc2=size=640x368:rate=25:duration=20,noise=alls=$noise:allf=t+u" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=20" \
    -ac 2 -c:v flv -b:v 1500k -c:a libmp3lame -b:a 128k -f flv "$WORK/noise$noise.flv"
done

now() { date +%s.%N; }
# CPU seconds (user + system) of the waited-for children, from the `times`
# of this shell (a subshell would not see them) saved in a file.
cpu() { awk -F'[ms ]' 'END { print $1 * 60 + $2 + $4 * 60 + $5 }' "$1"; }
# Runs a command quietly; sets T to its wall time and C to its CPU time in
# seconds, fails as it does. The CPU time shows the work done, whatever else
# the machine is busy with.
timed() {
  local t0 t1 rc=0
  times >"$WORK/times0"; t0=$(now); "$@" >/dev/null 2>&1 || rc=$?; t1=$(now); times >"$WORK/times1"
  T=$(echo "$t1 - $t0" | bc -l)
  C=$(echo "$(cpu "$WORK/times1") - $(cpu "$WORK/times0")" | bc -l)
  return $rc
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Average PSNR of a final file's video against the source, at the source's size.
psnr() {
  ffmpeg -nostdin -hide_banner -i "$1" -i "$SRC" -lavfi \
    "[0:v]scale=640:368:flags=bicubic,format=yuv420p[a];[1:v]format=yuv420p[b];[a][b]psnr" \
    -f null - 2>&1 | sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p' | tail -1 || true
}

# The stage-two command tessaro-cli builds with the format's defaults, on the source.
direct() {  # format output
  case $1 in
    0) "$APP/data/coder" -i "$SRC" -y -vcodec rv10 -b 1200k -f rm -ab 128k -ac 2 "$2" ;;
    5) "$APP/data/coder" -i "$SRC" -y -ac 2 -ar 48000 -ab 128k "$2" ;;
    7) "$APP/data/coder2" -i "$SRC" -y -s 320x240 -vcodec mpeg4 -acodec amr_nb -ac 1 -ar 8000 -ab 12.2k "$2" ;;
  esac
}

# cli app format folder: converts the source into an empty folder.
cli() {
  rm -rf "$3" && mkdir -p "$3" && "$1/tessaro-cli" -f "$2" -o "$3" "$SRC"
}

status=0
printf '%-12s %-5s %8s %8s %8s %9s %9s\n' format build "time s" "direct s" ratio "cpu ratio" "dPSNR dB"
for row in "RMVB 0 rmvb 12" "RMVB 0 rmvb 4" "MOV 5 mov 12" "3GP 7 3gp 12"; do
  read -r name format ext noise <<<"$row"
  SRC="$WORK/noise$noise.flv"
  label="$name/n$noise"
  builds=(new)
  [[ -n $OLD ]] && builds=(old new)
  declare -A ratios=() dpsnr=() times=() cpus=()
  directTimes=()
  for ((r = 0; r < REPS; r++)); do
    if ! timed direct "$format" "$WORK/direct.$ext"; then
      echo "$label: the direct stage-two command fails on this source" >&2
      continue 2
    fi
    d=$T dc=$C
    directTimes+=("$d")
    pd=$(psnr "$WORK/direct.$ext")
    for b in "${builds[@]}"; do
      app=$APP; [[ $b == old ]] && app=$OLD
      p=0
      if timed cli "$app" "$format" "$WORK/cli-$b"; then
        p=$(psnr "$(ls "$WORK/cli-$b"/*."$ext" | head -1)")
      else
        echo "$label $b: tessaro-cli failed" >&2
      fi
      t=$T
      times[$b]+="$t "
      cpus[$b]+="$(echo "$C / $dc" | bc -l) "
      ratios[$b]+="$(echo "$t / $d" | bc -l) "
      dpsnr[$b]+="$(echo "${p:-0} - $pd" | bc -l) "
    done
  done
  dmed=$(printf '%s\n' "${directTimes[@]}" | median)
  for b in "${builds[@]}"; do
    tmed=$(tr ' ' '\n' <<<"${times[$b]}" | grep . | median)
    rmed=$(tr ' ' '\n' <<<"${ratios[$b]}" | grep . | median)
    pmed=$(tr ' ' '\n' <<<"${dpsnr[$b]}" | grep . | median)
    cmed=$(tr ' ' '\n' <<<"${cpus[$b]}" | grep . | median)
    printf '%-12s %-5s %8.2f %8.2f %8.3f %9.3f %9.2f\n' "$label" "$b" "$tmed" "$dmed" "$rmed" "$cmed" "$pmed"
    if [[ $b == new ]] && (($(echo "$rmed > 1.15 || $pmed < -0.3" | bc -l))); then status=1; fi
  done
  unset ratios dpsnr times cpus
done
echo "targets: ratio <= 1.15, dPSNR >= -0.30 (medians of $REPS side-by-side runs)"
exit $status
