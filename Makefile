# The two set-up commands are `make demo` and `make test`; everything else is for developers.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)
DEPS := cmake ninja-build g++ libgtest-dev libbenchmark-dev
# The device's architecture: a cross compiler, qemu-user to run the tests here, and the
# GoogleTest sources to build for it.
ARM64_DEPS := g++-aarch64-linux-gnu qemu-user-static googletest
PROGRAM := $(BUILD)/korvel-skimbo

.PHONY: deps configure build test test-arm64 demo bench bench-build perf-report screenshots

deps:
	@tools/ensure-deps $(DEPS)

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Cross-builds the program and every test for AArch64 into build-arm64 and runs the tests
# under qemu-aarch64-static (see docs/sandbox.md for what the emulator cannot run).
test-arm64:
	@tools/ensure-deps $(DEPS) $(ARM64_DEPS)
	@cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake $(CMAKE_FLAGS) >/dev/null
	@cmake --build build-arm64 -j $(JOBS)
	ctest --test-dir build-arm64 --output-on-failure -j $(JOBS)

DEMO_REPLAY := examples/tap-pause-exit.replay
DEMO_CAPTURES := $(BUILD)/demo-captures

# Plays the example replay on the virtual clock, printing the log and capturing frames.
demo: build
	@rm -rf $(DEMO_CAPTURES) && mkdir -p $(DEMO_CAPTURES)
	$(PROGRAM) --headless --virtual-clock --seed 7 --replay $(DEMO_REPLAY) --capture-dir $(DEMO_CAPTURES)
	@echo "captures: $$(ls $(DEMO_CAPTURES) | wc -l) frames in $(DEMO_CAPTURES)"

# The benchmark measures us beside a peer compositing library, a dependency of the
# benchmark only.
BENCH_DEPS := libpixman-1-dev

bench-build:
	@tools/ensure-deps $(DEPS) $(BENCH_DEPS)
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKIMBO_BENCH=ON -DSKIMBO_TESTS=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)

bench: bench-build
	build-bench/bench/skimbo-bench

# The benchmark and callgrind's instruction counts of each hot path, as a section of
# docs/performance.md titled PERF_TITLE.
PERF_TITLE ?= Latest run
perf-report: bench-build
	@tools/ensure-deps valgrind
	tools/perf-report build-bench docs/performance.md "$(PERF_TITLE)"

# The README's pictures, made from real captures of the program.
screenshots: build
	tools/make-screenshots $(BUILD) docs/screens
