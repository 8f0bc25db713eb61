#!/bin/sh
# Stress run: a generated batch of SAMPLES samples on the benchmarks' largest method (1000
# compounds, 2 qualifiers each, 9000 peaks a sample) through the sanitizer build's quan-batch,
# with its resident memory read every second. Prints the memory after the first tenth of the
# samples and at the end, and fails on any sanitizer report or a non-zero exit.
# Usage: tests/stress/stress.sh [build folder] (default build/sanitize); SAMPLES (default 500).
set -eu
BUILD=${1:-build/sanitize}
SAMPLES=${SAMPLES:-500}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$BUILD/quan-make-bench-batch" --samples "$SAMPLES" --compounds 1000 --qualifiers 2 --peaks 9000 "$WORK/batch" >/dev/null
start=$(date +%s)
ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 "$BUILD/quan-batch" -j 2 --out "$WORK/out" "$WORK/batch" \
    >"$WORK/summary.txt" 2>"$WORK/errors.txt" &
pid=$!
: >"$WORK/rss.txt"
while kill -0 "$pid" 2>/dev/null; do
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    [ -n "$rss" ] && echo "$(( $(date +%s) - start )) $rss" >>"$WORK/rss.txt"
    sleep 1
done
status=0
wait "$pid" || status=$?
seconds=$(( $(date +%s) - start ))
if [ "$status" -ne 0 ] || grep -q "Sanitizer" "$WORK/errors.txt"; then
    cat "$WORK/errors.txt" >&2
    echo "stress: quan-batch failed with status $status" >&2
    exit 1
fi
rows=$(($(wc -l <"$WORK/out/results.csv") - 1))
samples=$(awk 'NR > 1 && $1 != "" {n++} END {print n - 2}' "$WORK/summary.txt")
lines=$(wc -l <"$WORK/rss.txt")
tenth=$(( lines / 10 + 1 ))
early=$(sed -n "${tenth}p" "$WORK/rss.txt" | awk '{print $2}')
peak=$(awk 'BEGIN {m = 0} $2 > m {m = $2} END {print m}' "$WORK/rss.txt")
late=$(tail -n 3 "$WORK/rss.txt" | head -n 1 | awk '{print $2}')
echo "stress: $SAMPLES samples x 1000 compounds, $rows result rows, $seconds s, no sanitizer report"
echo "stress: resident memory ${early} kB after the first tenth, ${late} kB near the end, peak ${peak} kB"
