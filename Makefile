# The two set-up commands are `make demo` and `make test`; everything else is for developers.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)
DEPS := cmake ninja-build g++ libgtest-dev libbenchmark-dev scdoc
# The device's architecture: a cross compiler, qemu-user to run the tests here, and the
# GoogleTest sources to build for it.
ARM64_DEPS := g++-aarch64-linux-gnu qemu-user-static googletest
PROGRAM := $(BUILD)/korvel-skimbo

.PHONY: deps configure build test test-arm64 demo bench screenshots play test-view

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
.PHONY: arm64 package package-arm64 test-package
test-arm64: arm64
	ctest --test-dir build-arm64 --output-on-failure -j $(JOBS)

arm64:
	@tools/ensure-deps $(DEPS) $(ARM64_DEPS)
	@cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake $(CMAKE_FLAGS) >/dev/null
	@cmake --build build-arm64 -j $(JOBS)

# Debian packages (packaging/): $(BUILD)/korvel-skimbo_1.0.0_amd64.deb, with
# korvel-skimbo-tools beside it where the desktop tools are built, and the device's
# build-arm64/korvel-skimbo_1.0.0_arm64.deb. dpkg-shlibdeps and file compute the dependencies.
PACKAGE_DEPS := dpkg-dev file

package: build
	@tools/ensure-deps $(PACKAGE_DEPS)
	cd $(BUILD) && cpack -G DEB

package-arm64: arm64
	@tools/ensure-deps $(PACKAGE_DEPS)
	cd build-arm64 && cpack -G DEB

# Both packages as an integrator meets them: lintian, the manual page, and a short session
# of the program unpacked from each (the device's under qemu).
test-package: package package-arm64
	@tools/ensure-deps lintian man-db
	packaging/package_test.sh $(BUILD) build-arm64

DEMO_REPLAY := $(BUILD)/demo.replay
DEMO_CAPTURES := $(BUILD)/demo-captures

# The autopilot flies seed 7 through 30 pipes; the program plays its replay on the virtual
# clock, printing the log (the score climbs) and capturing frames.
demo: build
	@rm -rf $(DEMO_CAPTURES) && mkdir -p $(DEMO_CAPTURES)
	$(BUILD)/korvel-skimbo-autoplay --seed 7 > $(DEMO_REPLAY)
	$(PROGRAM) --headless --virtual-clock --seed 7 --replay $(DEMO_REPLAY) --capture-dir $(DEMO_CAPTURES)
	@echo "captures: $$(ls $(DEMO_CAPTURES) | wc -l) frames in $(DEMO_CAPTURES)"

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKIMBO_BENCH=ON -DSKIMBO_TESTS=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)
	build-bench/bench/skimbo-bench

# The viewer needs SDL2; its pictures and its test a virtual X server, xdotool and ImageMagick.
VIEW_DEPS := libsdl2-dev
XVFB_DEPS := xvfb xauth xdotool imagemagick

# The README's pictures, made from real captures of the program.
screenshots:
	@tools/ensure-deps $(DEPS) $(VIEW_DEPS) $(XVFB_DEPS)
	@$(MAKE) --no-print-directory build
	tools/make-screenshots $(BUILD) docs/screens

# Opens a game in the viewer; its options go in PLAY_ARGS, e.g. PLAY_ARGS="--portrait -- --seed 7".
play:
	@tools/ensure-deps $(DEPS) $(VIEW_DEPS)
	@$(MAKE) --no-print-directory build
	$(BUILD)/korvel-skimbo-view $(PLAY_ARGS)

# The viewer in a virtual X server, driven by xdotool; skips, saying why, where none starts.
test-view:
	@tools/ensure-deps $(DEPS) $(VIEW_DEPS) $(XVFB_DEPS)
	@$(MAKE) --no-print-directory build
	tools/view/view_test.sh $(BUILD)
