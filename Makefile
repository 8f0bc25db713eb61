# Quick start: `make run` builds and runs the main job on the bundled example;
# `make test` builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test
# (the fuzz corpora replayed once included); `make fuzz` runs each fuzz target FUZZ_SECONDS.
# `make install PREFIX=/opt/quan` installs the optimised build (library, headers, tools, CMake
# package, quan.pc, Python module). QUAN_PYTHON=ON makes the Python module and its tests
# required (CI); by default they are built when pybind11 and Python are found.
# `make run`, `make test`, `make bench` and `make install` first install what the machine lacks
# (scripts/install-deps.sh: as root, or through sudo without a password, else it prints the
# command to run); INSTALL_DEPS=no skips that step.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
RELEASE_DIR := build/release
TEST_DIR := build/sanitize
PREFIX ?= /usr/local
QUAN_PYTHON ?= AUTO
INSTALL_DEPS ?= yes
# Written only after a configure succeeded: a failed one leaves CMakeCache.txt behind, which
# must not pass for a finished configure (the next run would find no build files).
RELEASE_CONFIGURED := $(RELEASE_DIR)/quan-configured
TEST_CONFIGURED := $(TEST_DIR)/quan-configured

.PHONY: all run test bench fuzz install clean deps

all: run

deps:
ifneq ($(INSTALL_DEPS),no)
	scripts/install-deps.sh
endif

$(RELEASE_CONFIGURED): | deps
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DQUAN_BUILD_TESTS=OFF -DQUAN_PYTHON=$(QUAN_PYTHON)
	touch $@

$(TEST_CONFIGURED): | deps
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DQUAN_SANITIZE=ON -DQUAN_BUILD_BENCH=OFF -DQUAN_PYTHON=$(QUAN_PYTHON)
	touch $@

run: $(RELEASE_CONFIGURED)
	cmake --build $(RELEASE_DIR) -j $(JOBS)
	$(RELEASE_DIR)/quan-batch --out results -j 2 examples/batch

test: $(TEST_CONFIGURED)
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)

bench: $(RELEASE_CONFIGURED)
	cmake --build $(RELEASE_DIR) -j $(JOBS)
	@if [ -x $(RELEASE_DIR)/quan_bench ]; then $(RELEASE_DIR)/quan_bench; else echo "no benchmarks built yet"; fi

install: $(RELEASE_CONFIGURED)
	cmake --build $(RELEASE_DIR) -j $(JOBS)
	cmake --install $(RELEASE_DIR) --prefix $(PREFIX)

# Every fuzz target for FUZZ_SECONDS each, with clang's libFuzzer in build/fuzz.
FUZZ_SECONDS ?= 60
fuzz:
	FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) FUZZ_BUILD_DIR=build/fuzz tests/fuzz/fuzz.sh

clean:
	rm -rf build
