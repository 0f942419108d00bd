#!/usr/bin/env bash
# headless_run.sh SOURCE_DIR
# scripts/run with no display in its environment, ended by Ctrl+C, by SIGTERM
# to the script alone and by Quit: each time its VNC server must greet this
# user on the socket printed and listen on no network port, another account
# (nobody) must reach neither the view nor the display, the editor's window
# must be on the run's display, and nothing of the run may be left after.
# Waits are bounded. Run as root, as CI does, to check the other account.
set -euo pipefail

work=$(mktemp -d)
run=
# Should a check fail half-way, only the run's own process group is ended.
cleanup() {
    if [ -n "$run" ]; then
        kill -- "-$run" 2>/dev/null && sleep 2
        kill -KILL -- "-$run" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() { { echo "FAIL ($stop): $*"; cat "$work/run.log"; } >&2; exit 1; }

# within SECONDS COMMAND...: true once COMMAND succeeds, false after SECONDS.
within() {
    local deadline=$((SECONDS + $1))
    until "${@:2}"; do [ "$SECONDS" -lt "$deadline" ] || return 1; sleep 0.2; done
}
run_alive() { pgrep -g "$run" >/dev/null; }
run_gone() { ! run_alive; }
printed_socket() {
    socket=$(sed -n 's|^ *ssh -N -L "/run/user/\$(id -u)/orvane-view.sock:\(.*\)" HOST$|\1|p' "$work/run.log")
    [ -n "$socket" ] || { run_alive || fail "scripts/run ended"; false; }
}
# greet SOCKET: what the server there sends first, or the error that stopped the connection.
greet=(timeout 10 python3 -c '
import socket, sys
try:
    with socket.socket(socket.AF_UNIX) as s:
        s.connect(sys.argv[1])
        print(s.recv(12).decode("latin-1"), end="")
except OSError as e:
    print(type(e).__name__, end="")
')
# The system's own tools, which nobody can run wherever root's PATH points.
as_other=(setpriv --reuid=nobody --regid=nogroup --clear-groups env PATH=/usr/bin:/bin)
editor_started() { editor=$(pgrep -g "$run" -f '/app/orvane-name-editor$'); }
editor_window() {
    window=$(timeout 10 xdotool search --all --onlyvisible --pid "$editor" --name '^Orvane Name Editor' 2>/dev/null | head -n 1)
    [ -n "$window" ]
}

for stop in ctrl-c sigterm quit; do
    # A process group of its own holds everything the run starts.
    env -u DISPLAY -u WAYLAND_DISPLAY setsid "$1/scripts/run" >"$work/run.log" 2>&1 </dev/null &
    run=$!
    # The first run may install the VNC server.
    within 300 printed_socket || fail "no VNC socket printed"
    within 10 editor_started || fail "no editor in the run"
    DISPLAY=$(tr '\0' '\n' <"/proc/$editor/environ" | sed -n 's/^DISPLAY=//p')
    XAUTHORITY=$(tr '\0' '\n' <"/proc/$editor/environ" | sed -n 's/^XAUTHORITY=//p')
    export DISPLAY XAUTHORITY
    within 30 editor_window || fail "no editor window on '$DISPLAY'"

    greeting=$("${greet[@]}" "$socket") || true
    [[ $greeting =~ ^RFB\ 003\.00[0-9]$ ]] || fail "$socket greeted with '$greeting'"
    listening=$(ss -Hltunp | grep -E "pid=($(pgrep -g "$run" | paste -sd '|'))," | awk '{ print $5 }') &&
        fail "listening on $listening"
    if [ "$(id -u)" -eq 0 ]; then
        other=$("${as_other[@]}" "${greet[@]}" "$socket") || true
        [ "$other" = PermissionError ] || fail "nobody on $socket: '$other'"
        other=$("${as_other[@]}" timeout 10 xdotool getdisplaygeometry 2>&1) &&
            fail "nobody reached display $DISPLAY: $other"
        [[ $other == *"Authorization required"* ]] || fail "nobody on $DISPLAY: $other"
    else
        echo "Not root: whether another account is refused is not checked."
    fi

    case $stop in
        ctrl-c) kill -INT -- "-$run" ;;
        sigterm) kill -TERM "$run" ;;
        # The display can end before xdotool lets go of the keys, which it
        # calls a failure: the run ending is what counts.
        quit) timeout 10 xdotool windowfocus --sync "$window" key ctrl+q 2>/dev/null || true ;;
    esac
    within 20 run_gone || fail "left running: $(ps -o pid=,args= -g "$run")"
    status=0
    wait "$run" || status=$?
    [ "$stop" != quit ] || [ "$status" -eq 0 ] || fail "exit status $status after Quit"
    run=
    echo "$stop: VNC on $socket, window $window on $DISPLAY, nobody refused, nothing left"
done
