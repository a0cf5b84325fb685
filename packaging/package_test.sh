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

static() { file -b "$1" | grep -q 'statically linked'; }
static_without_depends() { static "$2" && [ -z "$(dpkg-deb -f "$1" Depends)" ]; }

for deb in "$native/korvel-skimbo_1.0.0_amd64.deb" "$arm64/korvel-skimbo_1.0.0_arm64.deb"; do
    root=$scratch/$(basename "$deb" .deb)
    check dpkg-deb -x "$deb" "$root"
    check lintian --fail-on error,warning "$deb"
    check manual_renders "$root"
done
check static_without_depends "$arm64/korvel-skimbo_1.0.0_arm64.deb" "$scratch/korvel-skimbo_1.0.0_arm64/usr/bin/korvel-skimbo"
check plays_example "$scratch/korvel-skimbo_1.0.0_amd64"
check plays_example "$scratch/korvel-skimbo_1.0.0_arm64" qemu-aarch64-static

# The kiosk package: the supervisor runs (the device's one under qemu, static), its manual page
# renders, and its unit verifies and keeps its exposure, checked by this machine's systemd in a
# root that holds both packages and systemd's own units.
kiosk_runs() {  # UNPACKED_ROOT [EMULATOR]
    local root=$1 && shift
    "$@" "$root/usr/sbin/korvel-skimbo-kiosk" --help | head -n 1 | grep -q '^usage: korvel-skimbo-kiosk '
}
kiosk_manual_renders() { [ -z "$(man --warnings -l "$1/usr/share/man/man8/korvel-skimbo-kiosk.8.gz" 2>&1 >/dev/null)" ]; }
unit_verifies() {  # ROOT
    mkdir -p "$1/lib/systemd/system" && cp -an /lib/systemd/system/. "$1/lib/systemd/system/" &&
        [ -z "$(MANPATH=$1/usr/share/man systemd-analyze verify --root="$1" /lib/systemd/system/korvel-skimbo-kiosk.service 2>&1)" ] &&
        systemd-analyze security --offline=yes --threshold=24 --root="$1" /lib/systemd/system/korvel-skimbo-kiosk.service >/dev/null
}
# The maintainer scripts, run as dpkg runs them for a root without systemd running: the unit
# is enabled on install, still enabled after a removal, and forgotten on purge.
maintainer() {  # ROOT SCRIPT ARGUMENT
    DPKG_ROOT=$1 DPKG_MAINTSCRIPT_PACKAGE=korvel-skimbo-kiosk DPKG_MAINTSCRIPT_NAME=$2 sh "$source/kiosk/debian/$2" "$3"
}
enabled_until_purged() {  # ROOT
    local link=$1/etc/systemd/system/multi-user.target.wants/korvel-skimbo-kiosk.service
    maintainer "$1" postinst configure && [ "$(readlink "$link")" = /lib/systemd/system/korvel-skimbo-kiosk.service ] &&
        maintainer "$1" prerm remove && maintainer "$1" postrm remove && [ -L "$link" ] &&
        maintainer "$1" postrm purge && [ -z "$(find "$1/etc" "$1/var" ! -type d)" ]
}
for arch in amd64 arm64; do
    deb=$([ $arch = amd64 ] && echo "$native" || echo "$arm64")/korvel-skimbo-kiosk_1.0.0_$arch.deb
    root=$scratch/kiosk-$arch
    check dpkg-deb -x "$deb" "$root"
    check lintian --fail-on error,warning "$deb"
    check kiosk_manual_renders "$root"
    check test "$(dpkg-deb -f "$deb" Depends | cut -d, -f1-2)" = "korvel-skimbo (= 1.0.0), init-system-helpers (>= 1.52)"
done
check kiosk_runs "$scratch/kiosk-amd64"
check kiosk_runs "$scratch/kiosk-arm64" qemu-aarch64-static
check static "$scratch/kiosk-arm64/usr/sbin/korvel-skimbo-kiosk"
check dpkg-deb -x "$native/korvel-skimbo_1.0.0_amd64.deb" "$scratch/kiosk-amd64"
check unit_verifies "$scratch/kiosk-amd64"
systemd-analyze security --offline=yes --root="$scratch/kiosk-amd64" /lib/systemd/system/korvel-skimbo-kiosk.service | tail -n 1
check enabled_until_purged "$scratch/kiosk-arm64"

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
