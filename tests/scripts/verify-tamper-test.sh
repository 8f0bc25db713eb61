#!/bin/sh
# A results folder changed with sqlite3 outside the program: quan-review --verify names the row
# and exits non-zero, and passes the untouched copy.
# Usage: verify-tamper-test.sh QUAN_BATCH QUAN_REVIEW EXAMPLE_BATCH
set -u
batch_tool=$1
review_tool=$2
example=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/quan-verify-test-XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$batch_tool" --out "$work/results" "$example" >"$work/batch.out" 2>&1 || fail "quan-batch: $(cat "$work/batch.out")"
cp -R "$work/results" "$work/tampered"

# One stored area of the third sample's first compound, made 1 larger, and the names a person sees.
query="SELECT s.id || '|' || c.name FROM results r JOIN samples s ON s.position = r.sample
       JOIN compounds c ON c.entry = r.entry WHERE r.sample = 3 AND r.entry = 1"
edit="UPDATE results SET area = area + 1 WHERE sample = 3 AND entry = 1"
if command -v sqlite3 >/dev/null 2>&1; then
    names=$(sqlite3 "$work/tampered/results.sqlite" "$query") || fail "sqlite3 query"
    sqlite3 "$work/tampered/results.sqlite" "$edit" || fail "sqlite3 update"
else
    names=$(python3 -c 'import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
print(db.execute(sys.argv[2]).fetchone()[0])
db.execute(sys.argv[3]); db.commit()' "$work/tampered/results.sqlite" "$query" "$edit") || fail "python3 sqlite3"
fi
sample=${names%%|*}
compound=${names#*|}

"$review_tool" --verify "$work/results" >"$work/clean.out" 2>&1
status=$?
[ "$status" -eq 0 ] || fail "the untouched results do not verify (status $status): $(cat "$work/clean.out")"

"$review_tool" --verify "$work/tampered" >"$work/tampered.out" 2>&1
status=$?
[ "$status" -ne 0 ] || fail "the tampered results verify"
grep -q "table results, sample $sample, compound $compound: column area: stored" "$work/tampered.out" ||
    fail "the changed area is not named: $(cat "$work/tampered.out")"
echo "ok: untouched results verify; the area changed in $sample, $compound is named (status $status)"
