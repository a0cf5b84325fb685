# The disk's second boot (tests/boot/run): the kiosk installed at the first boot starts with the
# system and plays; then the package goes, comes back, and is installed again under a session.
. ./lib.sh

# The boot's first session brought itself up at once, as documented, and told systemd so.
booted() {
    [ "$(systemctl show -P ActiveState $unit)" = active ] && [ "$(systemctl show -P SubState $unit)" = running ] &&
        [ "$(restarts)" -eq 0 ] && program=$(pidof korvel-skimbo) || return 1
    journalctl -q -b -u $unit -o cat | sed -n 's/^\[korvel-skimbo [0-9]*\] //p' | head -n 4 >/tmp/bring-up
    [ "$(sed -n '1s/^HELLO korvel-skimbo 1\.0\.0 .* seed=[0-9]*$/ok/p
        2s/^touch name=.kiosk touch panel. evdev=1 mt=0 grabbed=1 /ok/p
        3s|^sandbox: nice=10 oom=1000 wd=/run/korvel-skimbo/[^ ]* netns=private uid=65534 nnp=on seccomp=on$|ok|p
        4s/^first frame presented (640x172 logical, rot 270)$/ok/p' /tmp/bring-up | grep -c ok)" -eq 4 ] ||
        { cat /tmp/bring-up && return 1; }
}

# With the game held still, what the kernel and a login would write on the console does not
# reach the panel, which shows the game's many colours.
panel() {
    [ "$(systemctl is-active getty@tty1.service)" = inactive ] && kill -STOP $program && cat /dev/fb0 >/tmp/before &&
        echo "the boot suite: text on tty1" >/dev/tty1 && echo "<2>the boot suite: kernel text" >/dev/kmsg &&
        sleep 1 && cat /dev/fb0 >/tmp/after
    status=$? && kill -CONT $program && [ $status -eq 0 ] && cmp /tmp/before /tmp/after &&
        within "$(od -An -v -tx2 -w2 /tmp/before | sort -u | wc -l)" 16 65536
}

removed() {
    dpkg -r korvel-skimbo-kiosk >/tmp/dpkg.out 2>&1 || { cat /tmp/dpkg.out && return 1; }
    await '] exit code=11 reason=sigterm ' && [ "$(systemctl is-active $unit)" = inactive ] &&
        ! systemctl -q is-enabled $unit 2>/dev/null && ! pidof korvel-skimbo korvel-skimbo-kiosk
}

purged() {
    dpkg --purge korvel-skimbo-kiosk >/tmp/dpkg.out 2>&1 || { cat /tmp/dpkg.out && return 1; }
    find / -xdev -path /kiosk -prune -o -name '*korvel-skimbo-kiosk*' -print >/tmp/left
    [ ! -s /tmp/left ] && [ ! -e /run/korvel-skimbo ] && [ "$(systemctl show -P LoadState $unit)" = not-found ] ||
        { cat /tmp/left && return 1; }
}

installed_again() {
    dpkg -i korvel-skimbo-kiosk_1.0.0_arm64.deb >/tmp/dpkg.out 2>&1 || { cat /tmp/dpkg.out && return 1; }
    [ "$(systemctl is-enabled $unit)" = enabled ] && playing
}

# The session in progress keeps its program, replaced on the disk; the next one runs the new file.
reinstalled() {
    old=$program previous=$(supervisor)
    dpkg -i korvel-skimbo_1.0.0_arm64.deb korvel-skimbo-kiosk_1.0.0_arm64.deb >/tmp/dpkg.out 2>&1 ||
        { cat /tmp/dpkg.out && return 1; }
    [ "$(supervisor)" = "$previous" ] && readlink /proc/$old/exe | grep -q ' (deleted)$' && ! has '] HELLO ' &&
        finger "d 171 0" && await 'exit code=0 reason=exit-gesture' && finger u && playing && [ $program != $old ] &&
        [ "$(stat -L -c %i /proc/$program/exe)" = "$(stat -c %i /usr/bin/korvel-skimbo)" ]
}

systemctl is-system-running --wait >/dev/null
echo "the boot finished $(in_seconds $(($(systemctl show -P FinishTimestampMonotonic) / 1000))) after the kernel started"
echo "the kiosk ready $(in_seconds $(($(systemctl show -P ActiveEnterTimestampMonotonic $unit) / 1000))) after the kernel started"
check "the second boot of the disk: the unit active, ready and playing, its bring-up in the journal" booted
check "the panel shows the game and no console text" panel
check "dpkg -r stops and disables it" removed
check "dpkg --purge leaves no file and no unit state" purged
check "installed again, it plays" installed_again
check "reinstalled while a session plays: the session goes on, the next one runs the new program" reinstalled
[ $failed -eq 0 ]
