# The two set-up commands are `make demo` and `make test`; everything else is for developers.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)
DEPS := cmake ninja-build g++ libgtest-dev libbenchmark-dev
PROGRAM := $(BUILD)/korvel-skimbo

.PHONY: deps configure build test demo bench

deps:
	@tools/ensure-deps $(DEPS)

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

DEMO_REPLAY := examples/tap-pause-exit.replay
DEMO_CAPTURES := $(BUILD)/demo-captures

# Plays the example replay on the virtual clock, printing the log and capturing frames.
demo: build
	@rm -rf $(DEMO_CAPTURES) && mkdir -p $(DEMO_CAPTURES)
	$(PROGRAM) --headless --virtual-clock --seed 7 --replay $(DEMO_REPLAY) --capture-dir $(DEMO_CAPTURES)
	@echo "captures: $$(ls $(DEMO_CAPTURES) | wc -l) frames in $(DEMO_CAPTURES)"

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKIMBO_BENCH=ON -DSKIMBO_TESTS=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)
	build-bench/bench/skimbo-bench
