#!/bin/sh
# The decisions of scripts/install-deps.sh, on a fake machine: a file-system prefix with or
# without the build's headers, and a PATH holding only fake commands (id, sudo, apt-get, locale,
# npm, the build tools) beside the few real utilities the script uses. Every fake logs its
# call; no real package manager is ever reached.
set -u
script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

headers="libxml2/libxml/parser.h gtest/gtest.h gmock/gmock.h benchmark/benchmark.h sqlite3.h zlib.h
         libmsnumpress/MSNumpress.hpp httplib.h pybind11/pybind11.h"
tools="cmake g++ make pkg-config chromium snakemake node npm locale-gen"

# A machine: $1 "complete" or "bare" (no headers, no Python modules); uid $2; sudo without a
# password $3 (yes/no); German locale $4 (yes/no); the tools not to provide in $5.
machine() {
  rm -rf "$work/m"; mkdir -p "$work/m/root/usr/include" "$work/m/root/usr/bin" "$work/m/root/etc" "$work/m/bin"
  : > "$work/m/log"
  if [ "$1" = complete ]; then
    for h in $headers; do mkdir -p "$work/m/root/usr/include/$(dirname "$h")"; : > "$work/m/root/usr/include/$h"; done
    python_status=0
  else
    python_status=1
  fi
  printf '#!/bin/sh\nexit %s\n' "$python_status" > "$work/m/root/usr/bin/python3"
  cp "$work/m/root/usr/bin/python3" "$work/m/root/usr/bin/python3-config"
  for real in sh grep dirname env touch cat; do ln -s "$(command -v $real)" "$work/m/bin/$real"; done
  for t in $tools apt-get; do
    case " $5 " in *" $t "*) continue ;; esac
    printf '#!/bin/sh\necho "%s $*" >> "%s"\n' "$t" "$work/m/log" > "$work/m/bin/$t"
  done
  printf '#!/bin/sh\necho %s\n' "$2" > "$work/m/bin/id"
  if [ "$3" = yes ]; then
    printf '#!/bin/sh\necho "sudo $*" >> "%s"\n[ "$1" = -n ] && shift\n[ "$1" = true ] && exit 0\nexec "$@"\n' \
      "$work/m/log" > "$work/m/bin/sudo"
  else
    printf '#!/bin/sh\nexit 1\n' > "$work/m/bin/sudo"
  fi
  if [ "$4" = yes ]; then printf '#!/bin/sh\necho C.UTF-8\necho de_DE.utf8\n' > "$work/m/bin/locale"
  else printf '#!/bin/sh\necho C.UTF-8\n' > "$work/m/bin/locale"; fi
  chmod +x "$work/m/bin/"* "$work/m/root/usr/bin/"*
}

deps() {
  env -i PATH="$work/m/bin" QUAN_DEPS_ROOT="$work/m/root" QUAN_DEPS_WEB_DIR="$work/web" \
    "$work/m/bin/sh" "$script" "$@" > "$work/out" 2> "$work/err"
}
logged() { grep -q -- "$1" "$work/m/log"; }

# Nothing missing: nothing installed, no privileges asked for, even without them.
machine complete 1000 no yes ""
deps; status=$?
[ $status = 0 ] || fail "complete machine: status $status"
[ -s "$work/m/log" ] && fail "complete machine ran: $(cat "$work/m/log")"

# Root installs directly, every missing package in one apt-get call, then makes the locale.
machine bare 0 no no "node snakemake"
deps; status=$?
[ $status = 0 ] || fail "root: status $status ($(cat "$work/err"))"
logged "^apt-get install -y -q libxml2-dev .*libcpp-httplib-dev .*python3-pandas python3-numpy python3-pytest .*snakemake nodejs" ||
  fail "root: apt-get install not as expected: $(cat "$work/m/log")"
logged '^sudo' && fail "root used sudo"
logged '^locale-gen' || fail "root: no locale-gen"
grep -qx 'de_DE.UTF-8 UTF-8' "$work/m/root/etc/locale.gen" || fail "root: locale.gen lacks de_DE"

# A user with sudo that asks no password installs through it; only what is missing.
machine complete 1000 yes yes "npm"
deps; status=$?
[ $status = 0 ] || fail "sudo: status $status"
logged '^sudo -n env DEBIAN_FRONTEND=noninteractive apt-get install -y -q npm$' ||
  fail "sudo: install not as expected: $(cat "$work/m/log")"
logged '^apt-get install -y -q npm$' || fail "sudo: apt-get not reached"

# A user without it gets the one command to run, and the script stops having run nothing.
machine bare 1000 no no ""
deps; status=$?
[ $status = 3 ] || fail "no sudo: status $status"
[ -s "$work/m/log" ] && fail "no sudo ran: $(cat "$work/m/log")"
grep -q '^  sudo sh -c "apt-get update -q && .*apt-get install -y -q libxml2-dev.* && locale-gen"$' "$work/err" ||
  fail "no sudo: command not printed: $(cat "$work/err")"

# The dry run says what it would do and does nothing.
machine bare 0 no yes ""
deps --dry-run; status=$?
[ $status = 0 ] || fail "dry run: status $status"
[ -s "$work/m/log" ] && fail "dry run ran: $(cat "$work/m/log")"
grep -q '^would run: env DEBIAN_FRONTEND=noninteractive apt-get install -y -q libxml2-dev' "$work/out" ||
  fail "dry run: $(cat "$work/out")"

# The review page's node packages: installed when node_modules is missing or older than the
# lock file, and not again while it is newer.
machine complete 1000 no yes ""
mkdir -p "$work/web"
echo '{}' > "$work/web/package-lock.json"
deps; logged '^npm ci' || fail "npm: not installed without node_modules"
mkdir -p "$work/web/node_modules"; touch -d '2000-01-01' "$work/web/package-lock.json"
: > "$work/m/log"; deps; logged '^npm' && fail "npm: installed again with an unchanged lock file"
touch -d '2000-01-01' "$work/web/node_modules"; touch "$work/web/package-lock.json"
: > "$work/m/log"; deps; logged '^npm ci' || fail "npm: not installed after the lock file changed"

[ $failures = 0 ] && echo "install-deps: every decision as expected"
exit $failures
