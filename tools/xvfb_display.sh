# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the screenshot scripts: a private X display for the program,
# ended (with the program in $app_pid and the folder in $work) on exit.
# Usage: start_display WIDTHxHEIGHT
start_display() {
    local display=99
    while [ -e "/tmp/.X${display}-lock" ]; do display=$((display + 1)); done
    Xvfb ":$display" -screen 0 "$1x24" -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    app_pid=
    trap end_display EXIT
    export DISPLAY=":$display"
    # On a busy machine Xvfb can take seconds to take clients; without it
    # nothing that follows can work.
    for _ in $(seq 150); do xwininfo -root >/dev/null 2>&1 && return; sleep 0.1; done
    echo "The virtual X server on $DISPLAY did not start." >&2
    exit 1
}

end_display() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
