# The disk's first boot (tests/boot/run): the packages installed with dpkg as an integrator does,
# then the kiosk played, stopped, starved and broken under systemd.
. ./lib.sh

installed() {
    dpkg -i korvel-skimbo_1.0.0_arm64.deb korvel-skimbo-kiosk_1.0.0_arm64.deb >/tmp/dpkg.out 2>&1 ||
        { cat /tmp/dpkg.out && return 1; }
    [ "$(systemctl is-enabled $unit)" = enabled ] && [ "$(systemctl is-active $unit)" = active ] && playing
}

# Two taps (the first starts a run, which may be over by the second) and the exit hold; the next
# session is ready within 2 s.
played() {
    finger "d 86 320" u "d 60 500" u && poll 5 counted '] input tap phase=' 2 &&
        has '] input tap phase=running score=0$' || { since && return 1; }
    poll 5 status_shown && finger "d 171 0" && await 'exit code=0 reason=exit-gesture' && finger u && await 'session [0-9]* ended status 0 ' &&
        playing && within $(($(ms '] HELLO ') - $(ms '] exit code=0'))) 0 2000
}

status_shown() {
    text=$(systemctl show -P StatusText $unit) && [ -n "$text" ] && systemctl status $unit | grep -qF "Status: \"$text\""
}

# Killed, the session counts as a failure: the next one starts after the first wait.
program_killed() {
    killed=$(now) && kill -KILL $program && playing && within $(($(at '] HELLO ') - killed)) 1000 3000
}

# Stopped, the program writes nothing: the supervisor ends it 15 s after its last line, which
# has reached the journal a second after the stop.
program_stopped() {
    kill -STOP $program && sleep 1 &&
        last=$(journalctl -q -u $unit -o short-monotonic | grep '\[korvel-skimbo ' | tail -n 1 | sed 's/^\[ *\([0-9]*\)\.\([0-9]\{3\}\).*/\1\2/') &&
        await 'session [0-9]* ended' 30 &&
        within $(($(at 'session [0-9]* ended') - last)) 15000 17500 && ! kill -0 $program && playing
}

supervisor_killed() {
    before=$(restarts) old=$program && kill -KILL "$(supervisor)" && playing &&
        [ "$(restarts)" -eq $((before + 1)) ] && ! kill -0 $old
}

# Stopped, the supervisor feeds the watchdog no more: systemd ends it and starts it again.
supervisor_stopped() {
    before=$(restarts) && kill -STOP "$(supervisor)" && await 'Watchdog timeout' 60 && playing &&
        [ "$(restarts)" -eq $((before + 1)) ]
}

stopped_and_started() {
    systemctl stop $unit && await '] exit code=11 reason=sigterm ' && await 'session [0-9]* ended status 11 ' &&
        [ "$(systemctl is-active $unit)" = inactive ] && ! pidof korvel-skimbo korvel-skimbo-kiosk &&
        systemctl start $unit && playing
}

# Without its touch screen a session fails, and so does each next one, after 1, 2 and 4 s;
# journalctl -p err shows their failure lines and no other line of the program's (this boot's
# only touch-lost and touch-open failures are these).
failing() {
    systemctl stop kiosk-touch.service && await 'failure: touch-lost' && poll 20 counted 'failure: touch-open' 2 &&
        systemctl start kiosk-touch.service && playing || { since && return 1; }
    since | sed -n 's/.*\[korvel-skimbo \([0-9]*\)\] \(HELLO\|exit\) .*/\2 \1/p' >/tmp/sessions
    end=""
    while read -r line ms; do [ $line = HELLO ] && [ -n "$end" ] && echo $((ms - end)); end=$ms; done </tmp/sessions >/tmp/waits
    set -- $(cat /tmp/waits)
    [ $# -eq 3 ] && within $1 1000 2500 && within $2 2000 3500 && within $3 4000 5500 || { cat /tmp/sessions && return 1; }
    [ "$(since | sed -n 's/.* failed; next session in \([0-9]*\) s$/\1/p' | tr '\n' ' ')" = "1 2 4 " ] || { since && return 1; }
    journalctl -q -b -p err -u $unit -o cat >/tmp/errors
    [ "$(grep -c '] failure: touch-lost$' /tmp/errors)" -eq 1 ] && [ "$(grep -c '] failure: touch-open$' /tmp/errors)" -eq 2 ] &&
        ! grep -v '] failure: ' /tmp/errors | grep -q '^\[korvel-skimbo ' ||
        { cat /tmp/errors && return 1; }
}

# The game as the program left itself after its bring-up, read from outside.
confined() {
    status=/proc/$program/status
    grep -qx 'Uid:	65534	65534	65534	65534' $status && grep -qx 'Gid:	65534	65534	65534	65534' $status &&
        grep -qx 'NoNewPrivs:	1' $status && grep -qx 'Seccomp:	2' $status && grep -qx 'CapEff:	0000000000000000' $status &&
        [ "$(cat /proc/$program/oom_score_adj)" = 1000 ] && [ "$(cut -d' ' -f19 /proc/$program/stat)" = 10 ] &&
        [ "$(readlink /proc/$program/ns/net)" != "$(readlink /proc/"$(supervisor)"/ns/net)" ] &&
        readlink /proc/$program/cwd | grep -q '^/run/korvel-skimbo/.' &&
        grep -q 'Max address space *100663296 *100663296 *bytes' /proc/$program/limits &&
        grep -q 'Max file size *4194304 *4194304 *bytes' /proc/$program/limits &&
        grep -q 'Max core file size *0 *0 *bytes' /proc/$program/limits &&
        grep -q 'Max open files *64 *64 *files' /proc/$program/limits || { cat $status /proc/$program/limits && return 1; }
}

systemctl is-system-running --wait >/dev/null
echo "the boot finished $(in_seconds $(($(systemctl show -P FinishTimestampMonotonic) / 1000))) after the kernel started"
check "installed with dpkg: enabled, started and playing" installed
check "taps, the status line, the exit hold and the next session within 2 s" played
check "the confinement under systemd, read from /proc" confined
check "the program killed: the next session after the first wait" program_killed
check "the program stopped: ended by the supervisor 15 s after its last line" program_stopped
check "the supervisor killed: systemd starts it again" supervisor_killed
check "the supervisor stopped: systemd's watchdog ends it and starts it again" supervisor_stopped
check "systemctl stop ends the session with sigterm and leaves nothing; start plays" stopped_and_started
check "the touch screen removed: failures in journalctl -p err, waits of 1, 2 and 4 s" failing
[ $failed -eq 0 ]
