#!/usr/bin/env bash
# accessibility.sh EDITOR
# Starts the editor on a private virtual X display with a private session bus
# and its accessibility bus, and lets accessibility.py read it the way a
# screen reader does. Every step has a limit, so a hang fails the test.
set -euo pipefail

editor=$1
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xdotool dbus-run-session; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (see scripts/common.sh)." >&2; exit 1; }
done
# The system's Python, which is the one python3-pyatspi installs into.
python=/usr/bin/python3

work=$(mktemp -d)
xvfb_pid=
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to the fifo. Without
# -noreset it starts afresh whenever its last client leaves, and a program
# connecting in that moment is turned away.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 20 display_number <"$work/display" || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$display_number
# The accessibility bus keeps its socket under the runtime folder.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

timeout -k 5 120 dbus-run-session -- "$python" "$here/accessibility.py" "$editor"
