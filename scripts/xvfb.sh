# Sourced by the scripts that run the real program: a private virtual X display.
# start_xvfb WORKDIR sets DISPLAY, XAUTHORITY and xvfb_pid; stop_xvfb ends it;
# wait_for_window finds a window of the program on it.

start_xvfb() {
    local work=$1 number cookie
    mkfifo "$work/display"
    # Only a client holding this cookie may connect: without one, any local
    # account could drive the program. WORKDIR, from mktemp -d, is the
    # caller's alone. The display number is not known yet, so the entry
    # stands for any display (family ffff).
    cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
    : >"$work/Xauthority"
    echo "ffff 0000 0000 0012 $(printf MIT-MAGIC-COOKIE-1 | od -An -tx1 | tr -d ' \n') 0010 $cookie" |
        xauth -q -f "$work/Xauthority" nmerge -
    export XAUTHORITY=$work/Xauthority
    # Xvfb picks a free display itself and writes its number to the fifo.
    # Without -noreset it starts afresh whenever its last client leaves, and a
    # program connecting in that moment is turned away.
    Xvfb -displayfd 3 -auth "$XAUTHORITY" -screen 0 1024x768x24 -nolisten tcp -noreset \
        3>"$work/display" >"$work/xvfb.log" 2>&1 &
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

# wait_for_window PID LOG TITLE_REGEX: prints the id of the first visible
# window of process PID whose title matches, once there is one (xdotool).
# Fails, showing the program's LOG, when the process ends first, and after
# 20 seconds without such a window.
wait_for_window() {
    local pid=$1 log=$2 title=$3 id
    for _ in $(seq 200); do
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "The program ended:" >&2
            cat "$log" >&2
            return 1
        fi
        id=$(xdotool search --all --onlyvisible --pid "$pid" --name "$title" 2>/dev/null | head -n 1 || true)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    echo "No window titled like '$title' appeared." >&2
    return 1
}
