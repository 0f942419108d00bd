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

source "$here/../scripts/xvfb.sh"

work=$(mktemp -d)
cleanup() {
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT

start_xvfb "$work"
# The accessibility bus keeps its socket under the runtime folder.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

timeout -k 5 120 dbus-run-session -- "$python" "$here/accessibility.py" "$editor"
