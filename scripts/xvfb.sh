# Sourced by the scripts that run the real program: a private virtual X display.
# start_xvfb WORKDIR sets DISPLAY and xvfb_pid; stop_xvfb ends it.

start_xvfb() {
    local work=$1 number
    mkfifo "$work/display"
    # Xvfb picks a free display itself and writes its number to the fifo.
    # Without -noreset it starts afresh whenever its last client leaves, and a
    # program connecting in that moment is turned away.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    if ! read -r -t 20 number <"$work/display"; then
        echo "Xvfb did not start:" >&2
        cat "$work/xvfb.log" >&2
        return 1
    fi
    export DISPLAY=:$number
}

stop_xvfb() {
    if [ -n "${xvfb_pid:-}" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=
    fi
}
