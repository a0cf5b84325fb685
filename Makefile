# The two set-up commands are `make demo` and `make test`; everything else is for developers.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)
DEPS := cmake ninja-build g++ libgtest-dev libbenchmark-dev scdoc
# The device's architecture: a cross compiler, qemu-user to run the tests here, and the
# GoogleTest sources to build for it.
ARM64_DEPS := g++-aarch64-linux-gnu qemu-user-static googletest
PROGRAM := $(BUILD)/korvel-skimbo
# The Python library (python/) and its tests run on Debian's own Python, whatever else is
# first on PATH.
PYTHON := /usr/bin/python3
PYTHON_DEPS := python3 python3-pytest python3-venv

.PHONY: deps configure build test test-arm64 demo bench bench-build perf-report screenshots play test-view fuzz memcheck soak

deps:
	@tools/ensure-deps $(DEPS)

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The Python tests come after ctest, alone: the pixel bot plays on the real clock.
test: build
	@tools/ensure-deps $(PYTHON_DEPS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	SKIMBO_PROGRAM=$(PROGRAM) $(PYTHON) -m pytest -p no:cacheprovider python/tests

# Cross-builds the program and every test for AArch64 into build-arm64 and runs the tests
# under qemu-aarch64-static (see docs/sandbox.md for what the emulator cannot run).
.PHONY: arm64 package package-arm64 test-package test-kiosk test-boot
test-arm64: arm64
	ctest --test-dir build-arm64 --output-on-failure -j $(JOBS)

arm64:
	@tools/ensure-deps $(DEPS) $(ARM64_DEPS)
	@cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake $(CMAKE_FLAGS) >/dev/null
	@cmake --build build-arm64 -j $(JOBS)

# Debian packages (packaging/): $(BUILD)/korvel-skimbo_1.0.0_amd64.deb and the kiosk's
# korvel-skimbo-kiosk_1.0.0_amd64.deb, with korvel-skimbo-tools beside them where the desktop
# tools are built, the Python library's python3-korvel-skimbo_1.0.0_all.deb, and the device's
# build-arm64/korvel-skimbo_1.0.0_arm64.deb and korvel-skimbo-kiosk_1.0.0_arm64.deb.
# dpkg-shlibdeps and file compute the dependencies.
PACKAGE_DEPS := dpkg-dev file

package: build
	@tools/ensure-deps $(PACKAGE_DEPS)
	cd $(BUILD) && cpack -G DEB

package-arm64: arm64
	@tools/ensure-deps $(PACKAGE_DEPS)
	cd build-arm64 && cpack -G DEB

# The packages as an integrator meets them: lintian, the manual pages, a short session of the
# program unpacked from each (the device's under qemu), the kiosk's unit checked by systemd's
# own tools and its maintainer scripts, one session through the Python library, and the
# library's folder installed by pip into a fresh virtual environment.
test-package: package package-arm64
	@tools/ensure-deps lintian man-db systemd $(PYTHON_DEPS)
	packaging/package_test.sh $(BUILD) build-arm64

# The device's package on a real kernel: Debian's arm64 kernel in qemu-system-aarch64 with a
# framebuffer panel and a uinput touch screen (tools/kiosk/), the suite of tests/kiosk/ run inside. The
# kernel, busybox and the kernel headers are fetched from the archive into build-kiosk/debs.
# KIOSK_CASE='SYN_DROPPED' runs only the cases whose names match.
test-kiosk: package-arm64
	tests/kiosk/run build-arm64 '$(KIOSK_CASE)'

# The kiosk packages on Debian's own arm64 userspace: the same virtual machine booting, under
# systemd, a disk assembled from the archive's packages (tools/kiosk/userspace, kept in
# build-kiosk/debs/userspace), twice: installed with dpkg and played, then booted into the game
# and removed, purged and installed again (tests/boot/).
test-boot: package-arm64
	tests/boot/run build-arm64

DEMO_REPLAY := $(BUILD)/demo.replay
DEMO_CAPTURES := $(BUILD)/demo-captures

# The autopilot flies seed 7 through 30 pipes; the program plays its replay on the virtual
# clock, printing the log (the score climbs) and capturing frames. Only those two are built.
demo: configure
	@cmake --build $(BUILD) -j $(JOBS) --target korvel-skimbo korvel-skimbo-autoplay
	@rm -rf $(DEMO_CAPTURES) && mkdir -p $(DEMO_CAPTURES)
	$(BUILD)/korvel-skimbo-autoplay --seed 7 > $(DEMO_REPLAY)
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

# The benchmark, callgrind's instruction counts of each hot path, whole sessions, and the
# device's program counted in instructions per call (qemu-user) and in the virtual kiosk,
# written into docs/performance.md as its latest run, beside the run before a change
# (tools/perf-report with the title "Before") in the table at its top.
perf-report: bench-build arm64-program
	@tools/ensure-deps valgrind
	tools/perf-report build-bench docs/performance.md "Latest run" build-arm64

# The device's program (with the libraries the instruction probes link) and the kiosk's touch tool.
.PHONY: arm64-program
arm64-program:
	@tools/ensure-deps $(DEPS) $(ARM64_DEPS)
	@cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake $(CMAKE_FLAGS) >/dev/null
	@cmake --build build-arm64 -j $(JOBS) --target korvel-skimbo kiosk-tool

# The viewer needs SDL2; its pictures and its test a virtual X server, xdotool and ImageMagick.
VIEW_DEPS := libsdl2-dev
XVFB_DEPS := xvfb xauth xdotool imagemagick

# The README's pictures, made from real captures of the program.
screenshots:
	@tools/ensure-deps $(DEPS) $(VIEW_DEPS) $(XVFB_DEPS)
	@$(MAKE) --no-print-directory build
	tools/make-screenshots $(BUILD) docs/screens

# Opens a game in the viewer; its options go in PLAY_ARGS, e.g. PLAY_ARGS="--portrait -- --seed 7".
# The viewer exits with the session's status: a game that lasted until the session's limit
# (12) ended as it should.
play:
	@tools/ensure-deps $(DEPS) $(VIEW_DEPS)
	@$(MAKE) --no-print-directory build
	$(BUILD)/korvel-skimbo-view $(PLAY_ARGS) || [ $$? -eq 12 ]

# The viewer in a virtual X server, driven by xdotool; skips, saying why, where none starts.
test-view:
	@tools/ensure-deps $(DEPS) $(VIEW_DEPS) $(XVFB_DEPS)
	@$(MAKE) --no-print-directory build
	view/view_test.sh $(BUILD)

# The libFuzzer targets of tests/fuzz, built by clang with AddressSanitizer and
# UndefinedBehaviorSanitizer, each run for FUZZ_SECONDS over its seed corpus. What a run
# learns stays in build-fuzz/corpus; a crash stops the loop and is kept in build-fuzz/crashes.
FUZZ_SECONDS ?= 60
FUZZ_DEPS := clang libfuzzer-14-dev libclang-rt-14-dev
FUZZ_TARGETS := command_line replay host_stream touch gesture_game render_scene

fuzz:
	@tools/ensure-deps $(DEPS) $(FUZZ_DEPS)
	@cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DSKIMBO_FUZZ=ON -DSKIMBO_SANITIZE=ON -DSKIMBO_TESTS=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS)
	@mkdir -p build-fuzz/crashes build-fuzz/logs
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$t; log=build-fuzz/logs/$$t.log; \
	  build-fuzz/tests/fuzz/$${t}_fuzz -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/crashes/$$t- build-fuzz/corpus/$$t tests/fuzz/corpus/$$t >$$log 2>&1 \
	    || { tail -n 60 $$log; echo "fuzz $$t: FAILED, see $$log"; exit 1; }; \
	  echo "fuzz $$t: $$(grep -o 'cov: [0-9]*' $$log | tail -n 1), $$(grep '^Done' $$log)"; \
	done

# One replay session and one host-stream session under valgrind's memcheck: no error, no leak.
# The host-stream session starts with the 64 descriptors it lowers its limit to: valgrind
# refuses any other change of that limit.
MEMCHECK := valgrind -q --error-exitcode=99 --leak-check=full --show-leak-kinds=all --errors-for-leak-kinds=all

memcheck: build
	@tools/ensure-deps valgrind
	@$(MEMCHECK) $(PROGRAM) --headless --virtual-clock --seed 7 --replay examples/tap-pause-exit.replay 2>$(BUILD)/memcheck-replay.log \
	  || { cat $(BUILD)/memcheck-replay.log; exit 1; }
	@(sleep 3; printf 'CONTACT 0 1 320 86\nCONTACT 0 0 320 86\n'; sleep 2) \
	  | (ulimit -n 64; $(MEMCHECK) $(PROGRAM) --headless --host-stream >/dev/null 2>$(BUILD)/memcheck-host.log) \
	  || { cat $(BUILD)/memcheck-host.log; exit 1; }
	@echo "memcheck: a replay session and a host-stream session, no error and no leak"

# A real-clock host-stream session with a host tapping at random, watched for growth.
SOAK_SECONDS ?= 900

soak: build
	@tools/ensure-deps python3
	tools/soak --seconds $(SOAK_SECONDS) --program $(PROGRAM)
