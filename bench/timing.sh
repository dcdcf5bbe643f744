# Timing a run of the benchmarks: sourced by parallel.sh and one-file.sh
# from the repository's folder; they set WORK to their scratch folder before
# they time a run.

# The built program and its encoders under the build folder $1: sets APP
# and CLI, or ends the benchmark.
find_built_app() {
  APP="$(cd "$1/app" 2>/dev/null && pwd)" || { echo "missing $1/app: build first" >&2; exit 1; }
  CLI="$APP/tessaro-cli"
  local f
  for f in "$CLI" "$APP/data/conv" "$APP/data/coder" "$APP/data/coder2"; do
    [[ -x $f ]] || { echo "missing $f: build first" >&2; exit 1; }
  done
}

now() { date +%s.%N; }
# CPU seconds (user + system) of the waited-for children, from the `times`
# of this shell (a subshell would not see them) saved in a file. Every
# process of a run is waited for by its parent before tessaro-cli ends, so
# the difference over a run is the CPU time of its whole process tree.
cpu() { awk -F'[ms ]' 'END { print $1 * 60 + $2 + $4 * 60 + $5 }' "$1"; }
# CPU seconds the whole machine has been busy (not idle nor waiting for I/O).
TICKS=$(getconf CLK_TCK)
busy() { awk -v hz="$TICKS" '/^cpu / { print ($2 + $3 + $4 + $7 + $8 + $9) / hz; exit }' /proc/stat 2>/dev/null || echo 0; }
# Runs a command quietly; sets T to its wall time and C to its CPU time in
# seconds, and O to the cores that other processes kept busy meanwhile on
# average (the machine is shared: the ratios show this benchmark's own
# only while that is small). Fails as the command does.
timed() {
  local t0 t1 b0 b1 rc=0
  times >"$WORK/times0"; b0=$(busy); t0=$(now)
  "$@" >/dev/null 2>&1 || rc=$?
  t1=$(now); b1=$(busy); times >"$WORK/times1"
  T=$(echo "$t1 - $t0" | bc -l)
  C=$(echo "$(cpu "$WORK/times1") - $(cpu "$WORK/times0")" | bc -l)
  O=$(echo "o = ($b1 - $b0 - $C) / $T; if (o < 0) o = 0; o" | bc -l)
  return $rc
}
