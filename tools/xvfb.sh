# shellcheck shell=sh disable=SC2154
# Sourced by the scripts that need a display: start_xvfb WxHxD starts an
# Xvfb screen of that size on a free display, sets xvfb_pid (for the
# caller's cleanup to kill) and exports DISPLAY. Needs $tmp, a folder of
# the caller's.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$tmp/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || { echo "$0: Xvfb ended as it started:" >&2; cat "$tmp/xvfb.log" >&2; exit 1; }
        sleep 0.1
    done
    [ -s "$tmp/display" ] || { echo "$0: Xvfb did not start" >&2; exit 1; }
    DISPLAY=:$(cat "$tmp/display")
    export DISPLAY
}
