#!/bin/sh
# Stands in for korvel-skimbo under the supervisor's tests. The supervisor starts it as
#   test_program.sh --parent-pid PID --workdir BASE/session-N PLAN
# and it plays line N of PLAN (the last line for later sessions), one of:
#   play STATUS  a session that shows its first frame, scores and exits with STATUS (0, 11, 12)
#   lines        play 0, with a line longer than the supervisor passes on whole and a last
#                line that has no newline
#   fail         a session that fails during bring-up: status 21
#   quick        exits with 0 at once, before any frame
#   killed       shows its first frame and is killed by SIGKILL
#   hang         shows its first frame and stops itself (SIGSTOP)
#   stubborn     shows its first frame and ignores SIGTERM
#   waits        shows its first frame and waits for SIGTERM, which it answers with status 11
#   litter       play 0, leaving in its working directory files, links out of it and a chain of
#                directories deeper than the supervisor removes
# Each session appends its start (seconds since boot) to PLAN.started, "<parent pid> <arguments>"
# to PLAN.sessions and its environment to PLAN.env-N. It creates its working directory, as the
# program does.
workdir=$4 n=${4##*-} plan=$5
mkdir "$workdir" || exit 1
cut -d' ' -f1 /proc/uptime >>"$plan.started"
echo "$PPID $*" >>"$plan.sessions"
env >"$plan.env-$n"
say() { echo "[korvel-skimbo 1000] $*" >&2; }
played() {
    say "first frame presented (640x172 logical, rot 270)"
    say "state=ready score=0 best=0 y=79.00"
    say "HB frames=1 elapsed_ms=0 state=ready score=0"
}
say "HELLO korvel-skimbo 1.0.0 upstream=Aerowinger native=640x172 rotation=270 seed=5"
set -- $(sed -n "${n}p" "$plan")
[ $# -gt 0 ] || set -- $(tail -n 1 "$plan")
case $1 in
litter)
    mkdir -p "$workdir/a/b" "$workdir/deep$(printf '/d%.0s' $(seq 20))" && touch "$workdir/a/b/file" &&
        ln -s "$plan.sessions" "$workdir/link" && ln -s "${plan%/*}" "$workdir/a/dirlink" || exit 1
    set -- play ;;
esac
case $1 in
play | lines)
    played
    say "state=running score=3 best=3 y=50.00"
    [ "$1" = lines ] && say "$(head -c 10000 /dev/zero | tr '\0' x)"
    say "exit code=${2:-0} reason=exit-gesture frames=60"
    [ "$1" = lines ] && printf 'last words' >&2
    exit "${2:-0}" ;;
fail)
    say "touch: open /dev/input/event1: No such file or directory"
    say "failure: touch-open"
    say "exit code=21 reason=startup-or-runtime-error frames=0"
    exit 21 ;;
quick) exit 0 ;;
killed) played && kill -KILL $$ ;;
hang) played && kill -STOP $$ ;;
stubborn) trap '' TERM && played && exec sleep 30 ;;
waits)
    trap 'say "exit code=11 reason=sigterm frames=60"; exit 11' TERM
    played
    say "waiting for SIGTERM"
    while :; do sleep 0.05; done ;;
esac
