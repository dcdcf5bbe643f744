# Sourced first by a benchmark, with its arguments: the runner takes a run as
# over once no process of the encoder's name is left, so the benchmark re-runs
# itself in a PID namespace of its own where it can, where encoders that other
# users of the machine run at the same time do not hold it up.
if [[ -z ${TESSARO_BENCH_NS:-} ]] && unshare -pf --mount-proc true 2>/dev/null; then
  TESSARO_BENCH_NS=1 exec unshare -pf --mount-proc "$0" "$@"
fi
[[ -n ${TESSARO_BENCH_NS:-} ]] || echo "(not isolated: other processes named like the encoders can delay each run's end)"
