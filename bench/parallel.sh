#!/usr/bin/env bash
# Files converted at once. tessaro-cli converts eight detailed 30-second
# 640x360 FLV clips (Sorenson video at 1.5 Mbit/s with noise, MP3; a different
# picture and sound in each) into MPG, RMVB and 3GP with -j 1 and with -j J
# for J = the number of cores and any J given. Per format and J it prints
#   wall s / cpu s   medians of the wall time and of the CPU time (user +
#                    system of every process of the run);
#   wall / cpu ratio medians of each repetition's time over the -j 1 time of
#                    the same repetition;
#   outputs          whether every output has the bytes of the first -j 1
#                    run's output of the same clip (same encoders, same input:
#                    same bytes), the later -j 1 runs included.
# In each repetition the J's run one after another, in turn forwards and
# backwards, so that a change in the machine's load reaches them all. Then a
# run of 4 files at once gives the peak resident memory: GNU time's largest
# single process, and the total of the process tree sampled every 0.2 s.
# Every run passes --threads 1 where tessaro-cli takes it: the batch would
# otherwise give a file every core when it runs alone (-j 1) and one core when
# two run at once, and outputs made on different thread counts differ. So
# this measures files converted at once, each on one thread, against one at a
# time on one thread.
# Target on a 2-core machine: -j 2 takes at most 0.55 of -j 1's wall time.
# Exits non-zero when an output differs or a run fails, and when a 2-core
# machine misses the target. The CPU time is this shell's `times` over the
# run: the rusage of waited-for children, which covers the whole tree as
# every encoder and ffmpeg is waited for by its parent.
#
# Usage: bench/parallel.sh [--quick] [--jobs "2 4"] [build folder]   (default: build)
#   --quick        2 clips of 5 s and one repetition, to try the script
#   --jobs LIST    further J's (also JOBS="2 4"); REPS=3 repetitions
set -euo pipefail
source "$(dirname "$0")/isolate.sh" "$@"
cd "$(dirname "$0")/.."
source bench/timing.sh

usage() { sed -n 's/^# \{0,1\}//; /^Usage:/,/^set /p' "$0" | sed '$d' >&2; exit 2; }
QUICK=0
EXTRA=${JOBS:-}
BUILD=build
while (($#)); do
  case $1 in
    --quick) QUICK=1 ;;
    --jobs) (($# > 1)) || usage; EXTRA="$EXTRA $2"; shift ;;
    -h | --help) usage ;;
    -*) echo "unknown option $1" >&2; usage ;;
    *) BUILD=$1 ;;
  esac
  shift
done
find_built_app "$BUILD"

if ((QUICK)); then CLIPS=2 LENGTH=5 REPS=1; else CLIPS=8 LENGTH=30 REPS=${REPS:-3}; fi
[[ $REPS =~ ^[1-9][0-9]*$ ]] || { echo "REPS is a number of repetitions, not '$REPS'" >&2; exit 2; }
CORES=$(nproc)
# Without -j (an older tessaro-cli) every run converts one file at a time.
HAS_JOBS=0
if "$CLI" -j 1 --version >/dev/null 2>&1; then HAS_JOBS=1; fi
# Without --threads (an older tessaro-cli) each encoder threads as it always has.
THREADS=()
if "$CLI" --threads 1 --version >/dev/null 2>&1; then THREADS=(--threads 1); fi
JLIST=(1)
if ((HAS_JOBS)); then
  for j in $CORES $EXTRA; do
    if [[ ! $j =~ ^[0-9]+$ ]] || ((10#$j < 1 || 10#$j > 16)); then echo "a J is 1 to 16, not '$j'" >&2; exit 2; fi
    JLIST+=("$j")
  done
  mapfile -t JLIST < <(printf '%s\n' "${JLIST[@]}" | sort -nu)
else
  echo "(tessaro-cli takes no -j: only one file at a time is measured)"
fi

WORK="$(mktemp -d /tmp/tessaro-bench-parallel.XXXXXX)"
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/in" "$WORK/sums"

# Eight pictures and sounds, every one with noise of its own seed.
pictures=(
  "testsrc2=size=640x360:rate=25"
  "mandelbrot=size=640x360:rate=25"
  # Coarse cells: rv10 key frames of fine ones exceed the RM muxer's 64 KB packets.
  "cellauto=size=160x90:rate=25:rule=110:random_fill_ratio=0.5,scale=640x360:flags=neighbor"
  "life=size=640x360:rate=25:mold=10:ratio=0.1"
  "smptehdbars=size=640x360:rate=25"
  "sierpinski=size=640x360:rate=25"
  "gradients=size=640x360:rate=25:speed=0.02"
  "testsrc2=size=640x360:rate=25,hue=h=t*24"
)
for ((i = 1; i <= CLIPS; i++)); do
  if ((i % 2)); then sound="sine=frequency=$((220 * i)):sample_rate=44100"
  else sound="anoisesrc=sample_rate=44100:amplitude=0.3:color=pink:seed=$i"; fi
  ffmpeg -nostdin -v error -y \
    -t "$LENGTH" -f lavfi -i "${pictures[i - 1]},format=yuv420p,noise=alls=8:allf=t+u:all_seed=$i" \
    -t "$LENGTH" -f lavfi -i "$sound" \
    -ac 2 -c:v flv -b:v 1500k -c:a libmp3lame -b:a 128k -shortest -f flv "$WORK/in/clip$i.flv"
done
CLIPFILES=("$WORK"/in/clip*.flv)
# Untimed: the first run of the encoders lists what ffmpeg has into the
# temporary folder.
ffmpeg -nostdin -v error -y -t 1 -f lavfi -i "testsrc2=size=640x360:rate=25" \
  -t 1 -f lavfi -i sine -c:v flv -c:a libmp3lame -f flv "$WORK/warm.flv"
for format in 2 0 7; do "$CLI" -f "$format" -o "$WORK/warm" "${THREADS[@]}" "$WORK/warm.flv" >/dev/null 2>&1 || true; done

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
mb() { awk -v k="$1" 'BEGIN { printf "%.0f MB", k / 1024 }'; }

# format jobs folder: converts every clip into the folder.
convert() {
  local -a jobs=()
  ((HAS_JOBS)) && jobs=(-j "$2")
  "$CLI" -f "$1" -o "$3" "${jobs[@]}" "${THREADS[@]}" "${CLIPFILES[@]}" >"$3.log" 2>&1
}
# folder: what tessaro-cli said of the files that failed in it.
failures() { grep -e FAILED -e 'tessaro-cli:' "$1.log" | sed 's/^/  /' >&2 || true; }

# folder extension: one line "clipN sha256" per clip. An output is named by
# the clip's base name, "-" and the time of day.
sums() {
  local c
  local -a out
  for c in "${CLIPFILES[@]}"; do
    c=$(basename "$c" .flv)
    out=("$1/$c-"*".$2")
    if ((${#out[@]} == 1)) && [[ -f ${out[0]} ]]; then
      echo "$c $(sha256sum "${out[0]}" | cut -d' ' -f1)"
    else
      echo "$c missing-or-ambiguous"
    fi
  done
}

# Total resident and proportional memory (kB) of a process and its descendants.
tree_memory() {
  ps -e -o pid=,ppid=,rss= 2>/dev/null | awk -v root="$1" '
    { parent[$1] = $2; rss[$1] = $3 }
    END {
      for (p in parent) {
        q = p
        while (q + 0 != root + 0 && (q in parent) && q + 0 > 1) q = parent[q]
        if (q + 0 != root + 0) continue
        r += rss[p]
        f = "/proc/" p "/smaps_rollup"
        while ((getline line < f) > 0)
          if (line ~ /^Pss:/) { split(line, w, " "); s += w[2] }
        close(f)
      }
      print r + 0, s + 0
    }'
}

status=0
targets=""
printf '%-5s %5s %8s %8s %11s %10s %7s  %s\n' format jobs "wall s" "cpu s" "wall ratio" "cpu ratio" others outputs
for row in "MPG 2 mpg" "RMVB 0 rmvb" "3GP 7 3gp"; do
  read -r name format ext <<<"$row"
  declare -A walls=() cpus=() others=() wallRatios=() cpuRatios=() failed=()
  order=("${JLIST[@]}")
  for ((r = 1; r <= REPS; r++)); do
    declare -A repWall=() repCpu=()
    for j in "${order[@]}"; do
      folder="$WORK/out-$j"
      rm -rf "$folder" && mkdir -p "$folder"
      if ! timed convert "$format" "$j" "$folder"; then
        failed[$j]=1
        echo "$name -j $j: tessaro-cli failed" >&2
        failures "$folder"
      fi
      repWall[$j]=$T repCpu[$j]=$C
      walls[$j]+="$T " cpus[$j]+="$C " others[$j]+="$O "
      sums "$folder" "$ext" >"$WORK/sums/$format-$j-$r"
    done
    for j in "${JLIST[@]}"; do
      wallRatios[$j]+="$(echo "${repWall[$j]} / ${repWall[1]}" | bc -l) "
      cpuRatios[$j]+="$(echo "${repCpu[$j]} / ${repCpu[1]}" | bc -l) "
    done
    unset repWall repCpu
    mapfile -t order < <(printf '%s\n' "${order[@]}" | tac)
  done
  for j in "${JLIST[@]}"; do
    differ="" compared=0
    for ((r = 1; r <= REPS; r++)); do
      [[ $j == 1 && $r == 1 ]] && continue
      compared=1
      differ+=$(paste -d' ' "$WORK/sums/$format-1-1" "$WORK/sums/$format-$j-$r" |
        awk '$4 ~ /missing/ { printf " %s(none)", $1; next } $2 != $4 { printf " %s", $1 }')
    done
    differ=$(tr ' ' '\n' <<<"$differ" | grep . | sort -u | paste -sd' ' - || true)
    if grep -q missing "$WORK/sums/$format-1-1"; then
      result="MISSING in the first -j 1 run"
    elif [[ -n $differ ]]; then
      result="DIFFERENT: $differ"
    elif ((compared)); then
      result="same"
    else
      result="(the reference: no other run)"
    fi
    [[ -n ${failed[$j]:-} ]] && result="FAILED; $result"
    [[ $result == same || $result == "(the reference"* ]] || status=1
    wmed=$(tr ' ' '\n' <<<"${walls[$j]}" | grep . | median)
    cmed=$(tr ' ' '\n' <<<"${cpus[$j]}" | grep . | median)
    omed=$(tr ' ' '\n' <<<"${others[$j]}" | grep . | median)
    wr=$(tr ' ' '\n' <<<"${wallRatios[$j]}" | grep . | median)
    cr=$(tr ' ' '\n' <<<"${cpuRatios[$j]}" | grep . | median)
    printf '%-5s %5s %8.2f %8.2f %11.3f %10.3f %7.2f  %s\n' "$name" "$j" "$wmed" "$cmed" "$wr" "$cr" "$omed" "$result"
    [[ $j == 2 ]] && targets+="$name $(printf '%.3f' "$wr") "
  done
  unset walls cpus others wallRatios cpuRatios failed
done

echo "$CLIPS clips of $LENGTH s, medians of $REPS side-by-side runs, $CORES cores;" \
  "others: cores kept busy by other processes meanwhile"
target="target: wall ratio <= 0.55 at -j 2 on a 2-core machine"
if [[ -z $targets ]]; then
  echo "$target: not measured (-j 2 was not run)"
else
  verdict=$(awk -v t="$targets" 'BEGIN { n = split(t, w, " "); ok = 1; for (i = 2; i <= n; i += 2) if (w[i] > 0.55) ok = 0; print ok ? "PASS" : "FAIL" }')
  ((status)) && verdict=FAIL
  note=""
  ((CORES == 2)) || note=" (this machine has $CORES cores)"
  echo "$target: $verdict (${targets% })$note"
  if [[ $verdict == FAIL && $CORES == 2 ]]; then status=1; fi
fi

# Peak memory with 4 files at once: the tree's total sampled every 0.2 s (RSS
# counts the shared libraries once per process, PSS shares them out), and
# GNU time's largest single process where it is installed.
if ((HAS_JOBS)); then
  GNUTIME=()
  /usr/bin/time -f %M -o /dev/null true 2>/dev/null && GNUTIME=(/usr/bin/time -f %M -o "$WORK/maxrss")
  peakAll=0
  for row in "MPG 2" "RMVB 0" "3GP 7"; do
    read -r name format <<<"$row"
    rm -f "$WORK/maxrss"
    rm -rf "$WORK/mem" && mkdir -p "$WORK/mem"
    "${GNUTIME[@]}" "$CLI" -f "$format" -o "$WORK/mem" -j 4 "${THREADS[@]}" "${CLIPFILES[@]}" >/dev/null 2>&1 &
    pid=$!
    peakRss=0 peakPss=0
    while kill -0 "$pid" 2>/dev/null; do
      read -r rss pss < <(tree_memory "$pid")
      ((rss > peakRss)) && peakRss=$rss
      ((pss > peakPss)) && peakPss=$pss
      sleep 0.2
    done
    wait "$pid" || echo "$name -j 4: tessaro-cli failed" >&2
    single="not measured (no GNU time)"
    if [[ -s $WORK/maxrss ]]; then
      largest=$(tail -1 "$WORK/maxrss")
      single=$(mb "$largest")
      # The total is at least the largest process, which sampling can miss.
      ((peakRss < largest)) && peakRss=$largest
    fi
    printf '%-5s -j 4: tree total %s RSS, %s PSS; largest process %s\n' \
      "$name" "$(mb "$peakRss")" "$(mb "$peakPss")" "$single"
    ((peakRss > peakAll)) && peakAll=$peakRss
  done
  files=$((CLIPS < 4 ? CLIPS : 4))
  echo "note: peak resident memory of a 4-file run (-j 4, $files converting at once):" \
    "$(mb "$peakAll") (total RSS of the process tree)"
else
  echo "note: peak resident memory of a 4-file run: not measured (tessaro-cli takes no -j)"
fi
exit $status
