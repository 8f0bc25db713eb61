#!/bin/sh
# `make fuzz`: builds every fuzz target with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in its own build folder, runs each for FUZZ_SECONDS (default 60)
# starting from its seed corpus, and prints the executions and coverage of each. New inputs go
# to the build folder's corpus, never into the seeds; a finding is kept as an artifact and
# makes the run fail. Usage: tests/fuzz/fuzz.sh [target...]   (default: every target). A target
# starts from its own seed folder and from those tests/fuzz/folded.txt folds into it.
set -u
SECONDS_EACH=${FUZZ_SECONDS:-60}
JOBS=${JOBS:-2}
CXX_FOR_FUZZ=${FUZZ_CXX:-clang++}
BUILD=${FUZZ_BUILD_DIR:-build/fuzz}
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
SEEDS=$SOURCE/tests/fuzz/corpus

if ! command -v "$CXX_FOR_FUZZ" >/dev/null 2>&1; then
    echo "make fuzz: $CXX_FOR_FUZZ is not on this machine; fuzzing needs clang with libFuzzer" >&2
    echo "  (Debian: apt-get install clang). The corpus replay in 'make test' needs only g++." >&2
    exit 1
fi
probe=$(mktemp -d)
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' > "$probe/probe.cpp"
if ! "$CXX_FOR_FUZZ" -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" >"$probe/log" 2>&1; then
    echo "make fuzz: $CXX_FOR_FUZZ cannot link a libFuzzer target (its fuzzer runtime is missing):" >&2
    cat "$probe/log" >&2
    rm -rf "$probe"
    exit 1
fi
rm -rf "$probe"

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    CXX=$CXX_FOR_FUZZ cmake -S "$SOURCE" -B "$BUILD" -DCMAKE_BUILD_TYPE=Debug -DQUAN_FUZZ=ON \
        -DQUAN_BUILD_TESTS=OFF -DQUAN_BUILD_BENCH=OFF >/dev/null || exit 1
fi
mkdir -p "$BUILD/logs"
echo "building the fuzz targets with $CXX_FOR_FUZZ in $BUILD ..."
if ! cmake --build "$BUILD" -j "$JOBS" --target quan_fuzz_targets >"$BUILD/logs/build.log" 2>&1; then
    grep -E 'error|Error' "$BUILD/logs/build.log" | head -n 40 >&2
    echo "make fuzz: the build failed; see $BUILD/logs/build.log" >&2
    exit 1
fi

# The seed folders of a target: its own and those folded.txt hands to it.
seeds_of() {
    [ -d "$SEEDS/$1" ] && echo "$SEEDS/$1"
    sed -n "s/^\([a-z_]*\) $1\$/\1/p" "$SOURCE/tests/fuzz/folded.txt" | while read -r corpus; do echo "$SEEDS/$corpus"; done
}

if [ $# -gt 0 ]; then
    targets="$*"
else
    targets=$(cd "$SOURCE/tests/fuzz" && ls ./*.cpp | sed 's|^\./||; s|\.cpp$||' | grep -v '^ReplayMain$')
fi
mkdir -p "$BUILD/artifacts"
failed=0
summary=""
for target in $targets; do
    binary="$BUILD/tests/fuzz/fuzz_$target"
    if [ ! -x "$binary" ]; then
        echo "make fuzz: no target $target (looked for $binary)" >&2
        failed=1
        continue
    fi
    mkdir -p "$BUILD/corpus/$target"
    log="$BUILD/logs/$target.log"
    echo "fuzzing $target for $SECONDS_EACH s ..."
    ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$binary" -max_total_time="$SECONDS_EACH" -print_final_stats=1 -timeout=20 -rss_limit_mb=2048 \
        -artifact_prefix="$BUILD/artifacts/$target-" "$BUILD/corpus/$target" $(seeds_of "$target") >"$log" 2>&1
    status=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | sed 's/cov: //')
    features=$(grep -o 'ft: [0-9]*' "$log" | tail -n 1 | sed 's/ft: //')
    corpus=$(ls "$BUILD/corpus/$target" | wc -l)
    if [ $status -eq 0 ]; then
        result="no finding"
    else
        result="FINDING (exit $status), see $log and $BUILD/artifacts/"
        failed=1
        tail -n 40 "$log" >&2
    fi
    summary="$summary$(printf '%-16s %12s executions  %6s edges  %7s features  %6s inputs  %s' \
        "$target" "${executions:-?}" "${coverage:-?}" "${features:-?}" "$corpus" "$result")
"
done
echo
echo "fuzz summary ($SECONDS_EACH s per target):"
printf '%s' "$summary"
exit $failed
