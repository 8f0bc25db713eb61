#!/bin/sh
# The Makefile's configure step after a failed configure: CMake leaves CMakeCache.txt behind when
# it fails, and the next `make run` must configure again rather than build from no build files.
# A fake cmake first on PATH fails or succeeds as told and logs its calls.
set -u
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat > "$work/bin/cmake" <<FAKE
#!/bin/sh
echo "cmake \$*" >> "$work/log"
while [ \$# -gt 0 ]; do [ "\$1" = -B ] && { mkdir -p "\$2"; : > "\$2/CMakeCache.txt"; }; shift; done
exit \$(cat "$work/status")
FAKE
chmod +x "$work/bin/cmake"
failures=0
configure() {
  echo "$1" > "$work/status"; : > "$work/log"
  env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL PATH="$work/bin:$PATH" make -s -C "$source_dir" RELEASE_DIR="$work/release" INSTALL_DEPS=no \
    "$work/release/quan-configured" > /dev/null 2>&1
}
calls() { grep -c '^cmake -S' "$work/log"; }

configure 1 && { echo "FAIL: a failed configure passed" >&2; failures=$((failures + 1)); }
[ -f "$work/release/CMakeCache.txt" ] || { echo "FAIL: the fake left no cache" >&2; failures=$((failures + 1)); }
configure 0 || { echo "FAIL: the configure after a failed one did not run or failed" >&2; failures=$((failures + 1)); }
[ "$(calls)" = 1 ] || { echo "FAIL: cmake ran $(calls) times after a failed configure" >&2; failures=$((failures + 1)); }
configure 0
[ "$(calls)" = 0 ] || { echo "FAIL: a finished configure ran again" >&2; failures=$((failures + 1)); }
[ $failures = 0 ] && echo "makefile: configures again after a failed configure, once"
exit $failures
