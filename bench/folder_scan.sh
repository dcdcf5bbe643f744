#!/bin/sh
# Folder scan against find(1) on a generated tree of 100,000 files in 10,000
# folders. Prints both times and their ratio (target: at most 1.5).
#
#   bench/folder_scan.sh [BUILD_DIR]     (default: build)
#
# The tree is made once in $TREE (default /tmp/tessaro-scan-bench) and kept
# for later runs; delete it by hand. Both sides run three times on a warm
# cache and the best run counts.
set -eu

BUILD=${1:-build}
TREE=${TREE:-/tmp/tessaro-scan-bench}
BIN=$(find "$BUILD" -type f -name folder_scan -perm -u+x 2>/dev/null | head -n 1)
if [ -z "$BIN" ]; then
    echo "folder_scan not built in $BUILD (cmake --build $BUILD --target folder_scan)" >&2
    exit 1
fi

if [ ! -f "$TREE/.complete" ]; then
    echo "generating 100,000 files in 10,000 folders under $TREE ..."
    rm -rf "$TREE"
    mkdir -p "$TREE"
    for t in $(seq 0 99); do
        # 100 folders of 10 files each: five videos in mixed case, five others.
        (cd "$TREE" && mkdir -p "t$t" && cd "t$t" && mkdir s0 s1 s2 s3 s4 s5 s6 s7 s8 s9 \
            $(seq -f 's%g' 10 99) &&
            touch $(for s in $(seq 0 99); do
                printf 's%s/a.flv s%s/b.FLV s%s/c.Flv s%s/d.flv s%s/e.fLv ' $s $s $s $s $s
                printf 's%s/f.mp4 s%s/g.flv2 s%s/h.txt s%s/i.avi s%s/j ' $s $s $s $s $s
            done))
    done
    touch "$TREE/.complete"
fi

now_ns() { date +%s%N; }

best_find=
best_scan=
for run in 1 2 3; do
    t0=$(now_ns); n_find=$(find "$TREE" -iname '*.flv' | wc -l); t1=$(now_ns)
    out=$("$BIN" "$TREE"); t2=$(now_ns)
    f=$(( (t1 - t0) / 1000000 )); s=$(( (t2 - t1) / 1000000 ))
    [ -z "$best_find" ] || [ "$f" -lt "$best_find" ] && best_find=$f
    [ -z "$best_scan" ] || [ "$s" -lt "$best_scan" ] && best_scan=$s
done

echo "find -iname '*.flv': $n_find files, best $best_find ms"
echo "SearchFolder:        $out; best process time $best_scan ms"
awk -v s="$best_scan" -v f="$best_find" 'BEGIN {
    if (f < 1) f = 1
    printf "ratio SearchFolder / find: %.2f (target <= 1.5)\n", s / f }'
echo "pump after every entry, for comparison: $("$BIN" "$TREE" --every-entry)"
