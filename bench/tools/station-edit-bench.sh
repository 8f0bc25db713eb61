#!/bin/sh
# The review station's server time for a change (the "ms" of its answer) on a finished batch:
# an unknown sample's integration moved, and a standard's calibration point excluded and
# restored (refit and requantify of the whole batch). Run on a batch quan-batch wrote, e.g. the
# 200 x 500 one of make-raw-bench-batch.py:
#
#   bench/tools/station-edit-bench.sh build/release/quan-review RESULTS_DIR BATCH_DIR [UNKNOWN] [STANDARD] [ENTRY]
#
# UNKNOWN and STANDARD are sample indexes (0-based, injection order), ENTRY an analyte's entry.
# The station edits RESULTS_DIR: run it on a copy. Every loop is bounded.
set -eu
review=$1 results=$2 batch=$3 unknown=${4:-150} standard=${5:-0} entry=${6:-21}
log=$(mktemp)
"$review" "$results" --batch "$batch" --user bench >"$log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null; rm -f "$log"' EXIT
url=""
for _ in $(seq 1 100); do
    url=$(grep -o 'http://127.0.0.1:[0-9]*/?token=[0-9a-f]*' "$log" || true)
    [ -n "$url" ] && break
    sleep 0.1
done
[ -n "$url" ] || { echo "quan-review did not start:"; cat "$log"; exit 1; }
base=${url%%/\?token=*}
token=${url##*token=}
get() { curl -s -H "X-Quan-Token: $token" "$base$1"; }
# PAUSE seconds between changes (default 3, an analyst's pace): the station writes its text
# outputs again in the background after each change, and on two cores that work would otherwise
# be timed with the next change. PAUSE=0 times changes made back to back.
pause=${PAUSE:-3}
post() { sleep "$pause"; curl -s -H "X-Quan-Token: $token" -H 'Content-Type: application/json' -d "$2" "$base$1"; }
started=$(date +%s)
for _ in $(seq 1 1200); do
    get /api/state | grep -q '"ready":true' && break
    sleep 1
done
echo "loaded in $(( $(date +%s) - started )) s: $(get /api/state)"
version() { get /api/state | sed 's/.*"version":\([0-9]*\).*/\1/'; }
ms() { sed 's/.*"ms":\([0-9.e+-]*\).*/\1/'; }
for i in 1 2 3; do
    # The quantification trace's bounds of the unknown, as stored, set again: a full change.
    answer=$(post /api/integration "{\"version\":$(version),\"sample\":$unknown,\"entry\":$entry,\"slot\":0,\"kind\":\"none\",\"reason\":\"bench\"}")
    echo "unknown sample $unknown, entry $entry: $(echo "$answer" | ms) ms $(echo "$answer" | cut -c1-80)"
done
# The stored bounds of a sample's peak, the start moved a fifth of the way in: a bounds change,
# measured from the stored points.
bounds() {
    /usr/bin/python3 - "$results/results.sqlite" "$1" "$entry" <<'PY'
import sqlite3, sys
db = sqlite3.connect("file:" + sys.argv[1] + "?mode=ro", uri=True)
start, end = db.execute('SELECT "StartRT", "EndRT" FROM peak_values WHERE sample = ? AND entry = ?',
                        (int(sys.argv[2]) + 1, int(sys.argv[3]))).fetchone()
print('"start":%r,"end":%r' % (start + (end - start) / 5, end))
PY
}
for who in $((unknown + 1)) "$standard"; do
    span=$(bounds "$who")
    answer=$(post /api/integration "{\"version\":$(version),\"sample\":$who,\"entry\":$entry,\"slot\":0,\"kind\":\"bounds\",$span,\"reason\":\"bench\"}")
    echo "sample $who, entry $entry, bounds moved: $(echo "$answer" | ms) ms $(echo "$answer" | cut -c1-80)"
    answer=$(post /api/integration "{\"version\":$(version),\"sample\":$who,\"entry\":$entry,\"slot\":0,\"kind\":\"auto\",\"reason\":\"bench\"}")
    echo "sample $who, entry $entry, automatic again: $(echo "$answer" | ms) ms"
done
for i in 1 2; do
    answer=$(post /api/exclusion "{\"version\":$(version),\"entry\":$entry,\"standard\":$standard,\"excluded\":true,\"reason\":\"bench\"}")
    echo "standard $standard excluded: $(echo "$answer" | ms) ms $(echo "$answer" | cut -c1-80)"
    answer=$(post /api/exclusion "{\"version\":$(version),\"entry\":$entry,\"standard\":$standard,\"excluded\":false,\"reason\":\"bench\"}")
    echo "standard $standard restored: $(echo "$answer" | ms) ms $(echo "$answer" | cut -c1-80)"
done
grep -m1 VmHWM /proc/$pid/status || true
