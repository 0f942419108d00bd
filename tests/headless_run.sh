#!/usr/bin/env bash
# headless_run.sh SOURCE_DIR
# scripts/run with no display in its environment, ended by Ctrl+C, by SIGTERM
# to the script alone and by Quit: each time its VNC server must greet on the
# port printed, on the loopback address only, the editor's window must be on
# the run's display, and nothing of the run may be left after. Waits are bounded.
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
printed_port() {
    port=$(sed -n 's/.*open localhost:\([0-9]\+\) in a VNC viewer.*/\1/p' "$work/run.log")
    [ -n "$port" ] || { run_alive || fail "scripts/run ended"; false; }
}
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
    within 300 printed_port || fail "no VNC port printed"
    within 10 editor_started || fail "no editor in the run"
    DISPLAY=$(tr '\0' '\n' <"/proc/$editor/environ" | sed -n 's/^DISPLAY=//p')
    export DISPLAY
    within 30 editor_window || fail "no editor window on '$DISPLAY'"

    greeting=$(timeout 10 bash -c 'exec 3<>"/dev/tcp/127.0.0.1/$0" && head -c 12 <&3' "$port") || true
    [[ $greeting == "RFB 003."* ]] || fail "127.0.0.1:$port greeted with '$greeting'"
    addresses=$(ss -Hltunp | grep -E "pid=($(pgrep -g "$run" | paste -sd '|'))," | awk '{ print $5 }')
    grep -qx "127.0.0.1:$port" <<<"$addresses" || fail "127.0.0.1:$port is not the run's: $addresses"
    outside=$(grep -vE '^(127\.0\.0\.1|\[::1\]):' <<<"$addresses") && fail "listening on $outside"

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
    echo "$stop: VNC on 127.0.0.1:$port, window $window on $DISPLAY, nothing left"
done
