#!/usr/bin/env bash
# The Debian packages as an integrator meets them: lintian's verdict, the manual page as man
# renders it, and a session of the program unpacked from each package (the device's under
# qemu). Usage: package_test.sh NATIVE_BUILD_DIR ARM64_BUILD_DIR
set -uo pipefail
native=$1 arm64=$2 scratch=$(mktemp -d) source=$(cd "$(dirname "$0")/.." && pwd)
trap 'rm -rf "$scratch"' EXIT
passed=0 failed=0

check() {  # one check; its output is shown only when it fails
    if "$@" >"$scratch/out" 2>&1; then passed=$((passed + 1))
    else failed=$((failed + 1)) && echo "FAILED: $*" && cat "$scratch/out"; fi
}

# The example replay ends with the exit hold: the frame at 8700 ms meets the exit gesture.
plays_example() {  # UNPACKED_ROOT [EMULATOR]
    local root=$1 && shift
    "$@" "$root/usr/bin/korvel-skimbo" --headless --virtual-clock --seed 7 \
        --replay "$root/usr/share/doc/korvel-skimbo/examples/tap-pause-exit.replay" 2>&1 |
        tail -n 1 | tee /dev/stderr | grep -q 'exit code=0 reason=exit-gesture frames=522$'
}

# No warning from man, and the page is the one the manual test compared with the options.
manual_renders() {  # UNPACKED_ROOT
    local page=$1/usr/share/man/man1/korvel-skimbo.1.gz
    [ -z "$(man --warnings -l "$page" 2>&1 >/dev/null)" ] && zcat "$page" | cmp - "$native/packaging/korvel-skimbo.1"
}

static_without_depends() { file -b "$2" | grep -q 'statically linked' && [ -z "$(dpkg-deb -f "$1" Depends)" ]; }

for deb in "$native/korvel-skimbo_1.0.0_amd64.deb" "$arm64/korvel-skimbo_1.0.0_arm64.deb"; do
    root=$scratch/$(basename "$deb" .deb)
    check dpkg-deb -x "$deb" "$root"
    check lintian --fail-on error,warning "$deb"
    check manual_renders "$root"
    check test -x "$root/usr/share/doc/korvel-skimbo/examples/kiosk-supervisor"
done
check static_without_depends "$arm64/korvel-skimbo_1.0.0_arm64.deb" "$scratch/korvel-skimbo_1.0.0_arm64/usr/bin/korvel-skimbo"
check plays_example "$scratch/korvel-skimbo_1.0.0_amd64"
check plays_example "$scratch/korvel-skimbo_1.0.0_arm64" qemu-aarch64-static

# Where the desktop tools are built, their package holds both and passes lintian.
if [ -e "$native/korvel-skimbo-view" ]; then
    tools=$native/korvel-skimbo-tools_1.0.0_amd64.deb
    check lintian --fail-on error,warning "$tools"
    check test "$(dpkg-deb -c "$tools" | grep -cE '/usr/bin/korvel-skimbo-(view|autoplay)$')" = 2
fi
# The Python library: its package drives a session of the program unpacked beside it, and
# pip installs its folder into a fresh virtual environment without any package index.
drives_a_session() {  # LIBRARY_ROOT PROGRAM_ROOT
    PYTHONPATH=$1/usr/lib/python3/dist-packages /usr/bin/python3 -c '
import sys, korvel_skimbo
with korvel_skimbo.Session(sys.argv[1]) as game:
    game.next_frame()
assert game.exit.reason == "exit-gesture"' "$2/usr/bin/korvel-skimbo"
}
pip_installs() {
    cp -r "$source/python" "$scratch/python" && /usr/bin/python3 -m venv "$scratch/venv" &&
        "$scratch/venv/bin/pip" install -q --no-index "$scratch/python" &&
        (cd "$scratch/venv" && bin/python -c 'import korvel_skimbo; print(korvel_skimbo.__file__)' | grep -q site-packages)
}
library=$native/python3-korvel-skimbo_1.0.0_all.deb
check lintian --fail-on error,warning "$library"
check dpkg-deb -x "$library" "$scratch/library"
check drives_a_session "$scratch/library" "$scratch/korvel-skimbo_1.0.0_amd64"
check pip_installs

echo "packages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
