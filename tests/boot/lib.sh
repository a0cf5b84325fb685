# What the boot suite's guest scripts share (tests/boot/run): the cases' bookkeeping, the kiosk
# unit's journal since a case began, the finger on the touch screen and the session playing.
# Sourced by dash, run as root by the disk's kiosk-guest.service while systemd runs the kiosk.
unit=korvel-skimbo-kiosk.service
passed=0 failed=0

check() {  # NAME COMMAND...: one case, begun with a session playing; its output is shown if it fails
    name=$1 began=$(now) && shift
    mark
    if "$@" >/tmp/case.out 2>&1; then passed=$((passed + 1)) && echo "ok: $name ($(seconds $began))"
    else failed=$((failed + 1)) && echo "FAILED: $name ($(seconds $began))" && cat /tmp/case.out && recover; fi
}

recover() {  # after a failed case: the touch screen and the kiosk as the boot left them
    kill -CONT $(pidof korvel-skimbo korvel-skimbo-kiosk) 2>/dev/null
    mark && systemctl start kiosk-touch.service && systemctl restart $unit && playing
}

# The unit's lines since the mark: the supervisor's, the program's through it, and systemd's
# about the unit. Picked from the whole journal: with a filter, journalctl --after-cursor would
# skip the first line that passes it, taking it for the mark's.
mark() { cursor=$(journalctl -q -n 1 --show-cursor | sed -n 's/^-- cursor: //p'); }
since() {
    journalctl -q --after-cursor="$cursor" -o short-monotonic |
        grep -e ' korvel-skimbo-kiosk\[[0-9]*\]: ' -e ' systemd\[1\]: korvel-skimbo-kiosk\.service: '
}

poll() {  # SECONDS COMMAND...: until the command succeeds, at most about SECONDS
    limit=$(($(now) + $1 * 1000)) && shift
    until "$@"; do [ "$(now)" -lt $limit ] || return 1; sleep 0.2; done
}
now() { sed 's/^\([0-9]*\)\.\([0-9]*\) .*/\1\20/' /proc/uptime; }  # milliseconds since boot
in_seconds() { echo "$(($1 / 1000)).$(($1 % 1000 / 100)) s"; }  # MS
seconds() { in_seconds $(($(now) - $1)); }  # since MS
has() { since | grep -q -- "$1"; }
await() {  # PATTERN [SECONDS]: a line of the unit since the mark, waited for up to 20 s
    poll "${2:-20}" has "$1" || { echo "no '$1' in the unit's journal:" && since | tail -n 30 && return 1; }
}
at() { since | grep -m 1 -- "$1" | sed 's/^\[ *\([0-9]*\)\.\([0-9]\{3\}\).*/\1\2/'; }  # its journal time, ms
ms() { since | grep -m 1 -- "$1" | sed 's/.*\[korvel-skimbo \([0-9]*\)\].*/\1/'; }  # the program's own ms
counted() { [ "$(since | grep -c -- "$1")" -eq "$2" ]; }  # PATTERN N: N lines since the mark
within() {  # VALUE LOW HIGH
    [ "$1" -ge "$2" ] && [ "$1" -le "$3" ] || { echo "$1 is not within $2..$3" && return 1; }
}

playing() { await 'first frame presented' 30 && program=$(pidof korvel-skimbo); }
supervisor() { systemctl show -P MainPID $unit; }
restarts() { systemctl show -P NRestarts $unit; }

acked() { [ "$(wc -l </run/kiosk-touch/out)" -gt "$1" ]; }
finger() {  # COMMAND...: each played by the touch screen before it returns (kiosk-tool touch)
    for command in "$@"; do
        sent=$(wc -l </run/kiosk-touch/out) && echo "$command" >/run/kiosk-touch/in
        poll 5 acked "$sent" || { echo "the touch screen did not play '$command'" && return 1; }
    done
}
