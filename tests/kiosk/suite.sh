# The kiosk suite, run by busybox sh as root inside the virtual kiosk (tests/kiosk/run): this
# shell is the supervisor, the direct parent of every session of the packaged program, and
# plays the finger on a real evdev touch screen made through uinput.
passed=0 failed=0 sent=0 pid=0 status=0
root=/run/kiosk
mkdir -p $root && chmod 755 /run $root

check() {  # NAME COMMAND...: one case, from a lifted finger away from the panel's edges; its
    name=$1 && shift  # output is shown only when it fails. Only the cases named in ./cases run.
    echo "$name" | grep -qEf cases || return 0
    finger "d 100 100" u
    if "$@" >/tmp/case.out 2>&1; then passed=$((passed + 1)) && echo "ok: $name"
    else failed=$((failed + 1)) && echo "FAILED: $name" && cat /tmp/case.out; fi
    kill -KILL $pid 2>/dev/null && wait $pid  # a session the case left running holds the touch screen
}

await() {  # FILE PATTERN: waits up to 10 s for a line matching PATTERN
    for i in $(seq 200); do grep -q -- "$2" "$1" 2>/dev/null && return 0; usleep 50000; done
    echo "no '$2' in $1:" && cat "$1" && return 1
}

counted() {  # FILE PATTERN N: waits up to 10 s for N lines matching PATTERN
    for i in $(seq 200); do [ "$(grep -c -- "$2" "$1" 2>/dev/null)" -ge "$3" ] && return 0; usleep 50000; done
    echo "not $3 lines '$2' in $1:" && cat "$1" && return 1
}

finger() {  # COMMAND...: each played by the touch screen before it returns (kiosk-tool touch)
    for command in "$@"; do
        sent=$((sent + 1)) && echo "$command" >&3
        await /tmp/touch.out "^ok $sent\$" >/dev/null || return 1
    done
}

start() {  # NAME [OPTION...]: a session in its own working directory, logging to /tmp/NAME.log
    log=/tmp/$1.log && wd=$root/$1 && shift
    ./korvel-skimbo --parent-pid $$ --workdir "$wd" "$@" 2>"$log" &
    pid=$!
    (sleep 20 && kill -KILL $pid 2>/dev/null) &  # a case waiting for a session that never ends
}

ended() {  # STATUS REASON: the session ends with this status and exit line
    wait $pid
    status=$?
    [ $status -eq "$1" ] && grep -q "exit code=$1 reason=$2 " "$log" || { echo "status $status:" && cat "$log" && return 1; }
}

line() { sed 's/^\[korvel-skimbo [0-9]*\] //' "$1" | grep -qxF "$2" || { echo "no line '$2' in $1:" && cat "$1" && return 1; }; }
proc() { grep -qx "$2" "/proc/$pid/$1" || { echo "/proc/$pid/$1 has no '$2':" && cat "/proc/$pid/$1" && return 1; }; }
taps() {  # N: waits until the session has logged N taps
    for i in $(seq 100); do [ "$(grep -c '] input tap ' $log)" -eq "$1" ] && return 0; usleep 50000; done
    echo "not $1 taps:" && cat $log && return 1
}
hold_exit() { finger "d 171 0" && ended 0 exit-gesture && finger u; }  # held until the session ends

plays() {
    start play --seed 5 && await $log 'first frame presented' &&
    printf '%s\n' "HELLO korvel-skimbo 1.0.0 upstream=Aerowinger native=640x172 rotation=270 seed=5" \
        "touch name='kiosk touch panel' evdev=1 mt=0 grabbed=1 raw_x=0..171 raw_y=0..639 mode=raw-clamp swap=0 inv=0,0" \
        "sandbox: nice=10 oom=1000 wd=$root/play netns=private uid=65534 nnp=on seccomp=on" \
        "first frame presented (640x172 logical, rot 270)" >/tmp/bring-up &&
    sed -n '1,4s/^\[korvel-skimbo [0-9]*\] //p' $log | diff /tmp/bring-up - &&
    finger "d 86 320" u "d 60 500" u && taps 2 && grep -q 'input tap phase=running score=0' $log &&
    finger "d 171 639" u && await $log 'state=paused' && taps 2 && hold_exit
}

# Read from outside while the game runs, as the program left itself after its bring-up.
confined() {
    start confined --seed 5 && await $log 'first frame presented' &&
    proc status "Uid:	65534	65534	65534	65534" && proc status "Gid:	65534	65534	65534	65534" &&
    proc status "NoNewPrivs:	1" && proc status "Seccomp:	2" && proc oom_score_adj 1000 &&
    [ "$(cut -d' ' -f19 /proc/$pid/stat)" = 10 ] &&
    [ "$(readlink /proc/$pid/ns/net)" != "$(readlink /proc/$$/ns/net)" ] &&
    [ "$(readlink /proc/$pid/cwd)" = "$root/confined" ] &&
    proc limits 'Max address space *100663296 *100663296 *bytes *' &&
    proc limits 'Max file size *4194304 *4194304 *bytes *' &&
    proc limits 'Max core file size *0 *0 *bytes *' && proc limits 'Max open files *64 *64 *files *' &&
    kill -TERM $pid && ended 11 sigterm
}

# The first frame of a session that ends before its second, against the same program's
# headless capture of that seed: nothing else may have written into the panel.
panel_holds_frame() {
    dd if=/dev/zero of=/dev/fb0 bs=4096 count=64 2>/dev/null
    start panel --seed 11 --exit-after 10 && ended 12 max-session && grep -q 'frames=1$' $log &&
    ./korvel-skimbo --headless --virtual-clock --seed 11 --exit-after 10 --capture-dir /tmp 2>/dev/null
    ./kiosk-tool panel /tmp/0-ready.ppm
}

# The kernel drops the queue of a reader that does not read and tells it so with SYN_DROPPED.
# The finger is down before the flood and lifts inside it: a reader that ignored the drop
# would still hold that finger and take the next touch for a move. The finger stays at the
# panel's edge (x = 171), which the kernel sends only once.
drop_reaches_idle_reader() {
    ./kiosk-tool watch 1000 >/tmp/watch.out & watcher=$!
    await /tmp/watch.out watching && finger "d 171 320" u "h 300" && wait $watcher &&
    grep -q 'syn_dropped=[1-9]' /tmp/watch.out || { cat /tmp/watch.out && return 1; }
}
resynchronises() {
    start dropped --seed 5 && await $log 'first frame presented' &&
    finger "d 171 320" && await $log 'input tap phase=running' && kill -STOP $pid &&
    await /proc/$pid/status '^State:.*stopped' && finger u "h 300" && kill -CONT $pid &&
    finger "w 300" "d 171 639" u && await $log 'state=paused' && taps 1 && finger "d 86 320" u && taps 2 && hold_exit
}

# A session ends by the exit hold at x = 171; the next one, on the same touch screen, starts
# with a touch in the pause corner, also at x = 171, which the kernel does not send again.
carries_over() {
    start first --seed 5 && await $log 'first frame presented' && hold_exit &&
    start second --seed 5 && await $log 'first frame presented' &&
    finger "d 171 639" u && await $log 'state=paused' && taps 0 && hold_exit
}

# The supervisor from the kiosk package plays two sessions, each ended by the exit hold at the
# same place, and on SIGTERM ends the third and then itself, leaving no working directory.
kiosk_supervisor() {
    log=/tmp/supervisor.log base=$root/supervisor
    ./korvel-skimbo-kiosk --program "$PWD/korvel-skimbo" --base $base -- --seed 5 2>$log &
    pid=$!
    for n in 1 2; do
        counted $log 'first frame presented' $n && finger "d 171 0" &&
        await $log "<6>kiosk: session $n ended status 0 reason exit-gesture" && finger u || return 1
    done
    counted $log 'first frame presented' 3 && kill -TERM $pid && wait $pid &&
    grep -q '^<6>kiosk: session 3 ended status 11 reason sigterm$' $log && tail -n 1 $log | grep -qx '<6>kiosk: stopped' &&
    [ -z "$(ls $base)" ] || { cat $log && return 1; }
}

supervised() {  # the ways a supervisor sees a session end
    start sigterm --seed 5 && await $log 'first frame presented' && kill -TERM $pid && ended 11 sigterm &&
    start max-session --max-session 1 && ended 12 max-session &&
    start sigterm && ended 21 startup-or-runtime-error && line $log "failure: sandbox-failed" &&
    grep -q '] sandbox: nice=10 oom=1000 wd=FAIL(1) $' $log &&
    sh -c "./korvel-skimbo --parent-pid \$\$ --workdir $root/orphan 2>/tmp/orphan.log &
        for i in \$(seq 200); do grep -q 'first frame' /tmp/orphan.log && exit; usleep 50000; done" &&
    await /tmp/orphan.log 'exit code=11 reason=parent-lost '
}

without() {  # DEVICE FAILURE LINE: the session refuses to start while DEVICE is away
    mv "$1" "$1.away" && start "without-$(basename "$1")" --seed 5
    ended 21 startup-or-runtime-error && line $log "failure: $2" && grep -q "] $3" $log
    status=$? && mv "$1.away" "$1" && return $status
}

unplugged() {  # the touch screen goes away during play
    start unplugged --seed 5 && await $log 'first frame presented' && finger "d 86 320" u && taps 1 &&
    echo q >&3 && wait $touch_screen && ended 21 startup-or-runtime-error && line $log "failure: touch-lost"
    status=$? && plug && return $status
}

plug() {  # a new touch screen, event1, played through descriptor 3
    [ -p /tmp/touch ] || mkfifo /tmp/touch
    ./kiosk-tool touch </tmp/touch >/tmp/touch.out &
    touch_screen=$! sent=0
    exec 3>/tmp/touch
    finger "w 0"
}

plug
check "bring-up, taps, pause and the exit hold" plays
check "confinement read from /proc" confined
check "the panel holds the rendered frame" panel_holds_frame
check "the filter on the kernel" ./kiosk-tool filter
check "a flood drops events for an idle reader" drop_reaches_idle_reader
check "resynchronised after SYN_DROPPED" resynchronises
check "touch state carried over between sessions" carries_over
check "the kiosk supervisor plays two sessions" kiosk_supervisor
check "sigterm, max-session, a used working directory, parent lost" supervised
check "touch screen missing" without /dev/input/event1 touch-open "touch: open /dev/input/event1: "
check "panel missing" without /dev/fb0 "framebuffer ownership/open" "fb: open /dev/fb0: "
check "touch screen unplugged during play" unplugged
echo "kiosk: $passed passed, $failed failed"
[ $failed -eq 0 ]
