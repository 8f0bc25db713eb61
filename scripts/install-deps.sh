#!/bin/sh
# Installs what the build, the tests and the tools need and this machine lacks, so that on a
# fresh Debian machine `make run` and `make test` need no other command. Called by both make
# targets and by .ci/run; quick when nothing is missing.
#
# Packages come from apt: as root directly, otherwise through sudo when sudo works without a
# password; otherwise the script prints the one command that installs them and exits with 3,
# having changed nothing. The German locale (decimal-comma tests) is generated the same way.
# The review page's node packages are installed with `npm ci` as the calling user whenever
# web/package-lock.json is newer than web/node_modules.
#
#   scripts/install-deps.sh [--dry-run]
#
# --dry-run prints the commands it would run and runs none. Exit status: 0 done (or nothing to
# do), 3 privileges missing (the command to run was printed), 1 a step failed.
#
# Every probe goes through QUAN_DEPS_ROOT (a file-system prefix, default none) and PATH, so the
# tests drive the decisions with a prefix of their own and fake commands.
set -u

ROOT="${QUAN_DEPS_ROOT:-}"
PYTHON="$ROOT/usr/bin/python3"  # Debian's own python3, whatever python3 comes first on PATH
LOCALE_GEN_FILE="$ROOT/etc/locale.gen"
SOURCE_DIR="$(cd "$(dirname "$0")/.." && pwd)"
WEB_DIR="${QUAN_DEPS_WEB_DIR:-$SOURCE_DIR/web}"

dry_run=no
case "${1:-}" in
  --dry-run) dry_run=yes ;;
  "") ;;
  *) echo "usage: $0 [--dry-run]" >&2; exit 2 ;;
esac

# --- what is missing -------------------------------------------------------------------------
need=""
want() { need="$need $1"; }
has_header() { [ -f "$ROOT/usr/include/$1" ]; }
has_command() { command -v "$1" >/dev/null 2>&1; }
has_german_locale() { locale -a 2>/dev/null | grep -qiE '^de_DE\.utf-?8$'; }

has_header libxml2/libxml/parser.h || want libxml2-dev
has_header gtest/gtest.h || want libgtest-dev
has_header gmock/gmock.h || want libgmock-dev
has_header benchmark/benchmark.h || want libbenchmark-dev
has_header sqlite3.h || want libsqlite3-dev
has_header zlib.h || want zlib1g-dev
has_header libmsnumpress/MSNumpress.hpp || want libmsnumpress-dev
has_header httplib.h || want libcpp-httplib-dev            # the review server
# The Python module and its tests.
has_header pybind11/pybind11.h || want pybind11-dev
"$PYTHON-config" --includes >/dev/null 2>&1 || want python3-dev
if ! "$PYTHON" -c "import pandas, numpy, pytest" >/dev/null 2>&1; then
  for module in pandas:python3-pandas numpy:python3-numpy pytest:python3-pytest; do
    "$PYTHON" -c "import ${module%%:*}" >/dev/null 2>&1 || want "${module#*:}"
  done
fi
for tool in cmake g++ make pkg-config; do
  has_command "$tool" || want "$tool"
done
has_command chromium || want chromium                      # the report page's browser test
has_command snakemake || want snakemake                    # the study workflow
has_command node || want nodejs                            # the review page's tests
has_command npm || want npm
# The decimal-comma tests need a German locale, generated from the locales package's sources.
need_locale=no
if ! has_german_locale; then
  need_locale=yes
  has_command locale-gen || want locales
fi

# The review page's node packages, when the page has any: installed again when the lock file
# changed since.
need_npm=no
if [ -f "$WEB_DIR/package-lock.json" ] &&
   { [ ! -d "$WEB_DIR/node_modules" ] || [ "$WEB_DIR/package-lock.json" -nt "$WEB_DIR/node_modules" ]; }; then
  need_npm=yes
fi

# --- the commands that install it ------------------------------------------------------------
apt_steps=""
if [ -n "$need" ]; then
  apt_steps="apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q$need"
fi
locale_steps=""
if [ "$need_locale" = yes ]; then
  locale_steps="{ grep -q '^de_DE.UTF-8 UTF-8' $LOCALE_GEN_FILE 2>/dev/null || echo 'de_DE.UTF-8 UTF-8' >> $LOCALE_GEN_FILE; } && locale-gen"
fi
privileged="$apt_steps"
[ -n "$locale_steps" ] && privileged="${privileged:+$privileged && }$locale_steps"

run() {
  if [ "$dry_run" = yes ]; then echo "would run: $*"; else "$@"; fi
}

if [ -n "$privileged" ]; then
  [ -n "$need" ] && echo "missing:$need"
  [ "$need_locale" = yes ] && echo "missing: the de_DE.UTF-8 locale"
  if [ "$(id -u)" = 0 ]; then
    as_root=""
  elif sudo -n true >/dev/null 2>&1; then
    as_root="sudo -n"
  else
    echo "This account may not install packages. Run this once, then the same make command again:" >&2
    echo "  sudo sh -c \"$privileged\"" >&2
    exit 3
  fi
  if [ -n "$apt_steps" ]; then
    run $as_root apt-get update -q || { echo "apt-get update failed" >&2; exit 1; }
    run $as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $need ||
      { echo "apt-get install failed:$need" >&2; exit 1; }
  fi
  if [ "$need_locale" = yes ]; then
    echo "generating the de_DE.UTF-8 locale"
    if [ "$dry_run" = yes ]; then
      echo "would run: $as_root sh -c \"$locale_steps\""
    else
      $as_root sh -c "$locale_steps" ||
        echo "de_DE.UTF-8 could not be generated: the decimal-comma tests will be skipped" >&2
    fi
  fi
fi

if [ "$need_npm" = yes ]; then
  echo "installing the review page's node packages (npm ci in $WEB_DIR)"
  if [ "$dry_run" = yes ]; then
    echo "would run: cd $WEB_DIR && npm ci"
  else
    # npm ci recreates node_modules; touched afterwards so an unchanged lock file is not
    # installed again.
    (cd "$WEB_DIR" && npm ci --no-audit --no-fund) && touch -c "$WEB_DIR/node_modules" ||
      { echo "npm ci failed in $WEB_DIR" >&2; exit 1; }
  fi
fi
exit 0
