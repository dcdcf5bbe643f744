# shellcheck shell=bash
# Sourced first by a benchmark, with its arguments: the benchmark re-runs
# itself in a PID namespace of its own where it can, so that the processes it
# sees (the process list, the leftovers' owners) are its own alone.
if [[ -z ${TESSARO_BENCH_NS:-} ]] && unshare -pf --mount-proc true 2>/dev/null; then
  TESSARO_BENCH_NS=1 exec unshare -pf --mount-proc "$0" "$@"
fi
if [[ -n ${TESSARO_BENCH_NS:-} ]]; then
  # Files in the temporary folder carry the id of their process, and ids here
  # are not those outside: with the folder shared, a run here would take the
  # live files of a run outside for leftovers and remove them (and the other
  # way round), or write the same intermediate as another namespace. So the
  # namespace gets a folder of its own, gone with it.
  tessaroTmp=/tmp/tessaro-$(id -u)
  [[ -d $tessaroTmp ]] || mkdir -m 700 "$tessaroTmp"
  mount -t tmpfs -o "mode=700,uid=$(id -u),gid=$(id -g)" tessaro-bench "$tessaroTmp" ||
    echo "(the temporary folder is shared: runs outside can remove this one's files)"
  unset tessaroTmp
else
  echo "(not isolated: the benchmark sees the machine's other processes)"
fi
