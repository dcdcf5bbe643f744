#!/usr/bin/env bash
# The feedback receiver under load and under attack, on 127.0.0.1:
#  - stored messages a second from 8 clients (target >= 1,000);
#  - the hostile table (slow and idle connections, huge bodies and heads,
#    pipelining), with the resident memory before and after (target: back
#    within 10 MB of its start);
#  - requests a second from 15,000 addresses in a minute (the rate table).
# Usage: bench/feedbackd.sh [BUILD_DIR | RECEIVER_EXECUTABLE]   (default: build)
# Exits non-zero when a target is missed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
target=${1:-build}
receiver=$target
[ -d "$target" ] && receiver=$target/server/tessaro-feedbackd
work=$(mktemp -d /tmp/tessaro-feedbackd-bench-XXXXXX)
pid=
status=0
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Starts the receiver with `rate_per_minute` $1; sets pid and port.
start() {
  printf 'rate_per_minute = %s\n' "$1" >"$work/conf"
  rm -f "$work"/feedback.db*
  "$receiver" --config "$work/conf" --listen 127.0.0.1 --port 0 --database "$work/feedback.db" \
    >"$work/out" 2>"$work/err" &
  pid=$!
  for _ in $(seq 50); do
    port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/out")
    [ -n "$port" ] && return
    sleep 0.1
  done
  echo "the receiver did not start: $(cat "$work/err")"
  exit 1
}
stop() { kill "$pid"; wait "$pid" 2>/dev/null || true; pid=; }
rows() { sqlite3 "$work/feedback.db" "$1" 2>/dev/null || echo "(sqlite3 missing)"; }

for how in keep-alive close; do
  start 1000000
  python3 "$here/feedbackd_load.py" flood "$port" 8 5 "$how" || status=1
  echo "rows stored: $(rows 'SELECT count(*) FROM messages')"
  stop
done

start 1000000
python3 "$here/feedbackd_load.py" hostile "$port" "$pid" || status=1
echo "stored rows: pipelined $(rows "SELECT count(*) FROM messages WHERE comment LIKE '(MP4)pipe%'"),"\
     "HEAD $(rows "SELECT count(*) FROM messages WHERE name = 'h'"),"\
     "the '=' comment as $(rows "SELECT comment FROM messages WHERE name = 'q'")"
stop

start 10
python3 "$here/feedbackd_load.py" addresses "$port" 15000
stop
exit $status
