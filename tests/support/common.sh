# SPDX-License-Identifier: MIT
# Helpers of the shell tests that drive real programs on a private X server: failing with a
# message and a picture of the screen, waiting for a condition, the X server itself and the
# clean-up's share. Sourced, never run on its own.
#
# The sourcing script sets, before it calls anything here:
#   test_label  what every message starts with ("window-test: crypt")
#   build       the build folder (failed runs are kept below it, in test-artifacts/)
#   tmp         its temporary folder (the X server's display number and log go there)
#   shots       the folder the screenshots go to
# and ends the X server (xvfb_pid, set by start_xvfb) in its clean-up with end_process.
# shellcheck shell=bash disable=SC2154

step=0
xvfb_pid=""

# A numbered picture of the whole screen, when there is one: the numbers keep the order in
# which a failed run's pictures were taken.
shot() {
    step=$((step + 1))
    [ -n "${DISPLAY:-}" ] && import -window root "$shots/$(printf %02d "$step")-$1.png" 2>/dev/null || true
}

fail() {
    echo "$test_label: $*" >&2
    shot "failure"
    exit 1
}

# Polls a command until it succeeds; fails the run after the timeout (seconds).
wait_for() {
    local timeout="$1" what="$2"
    shift 2
    local deadline=$((SECONDS + timeout))
    until "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && fail "timed out waiting for $what"
        sleep 0.05
    done
}

# size_is FILE BYTES: the programs write their files in order, so once one has its full size
# every byte is there.
size_is() { [ -f "$1" ] && [ "$(stat -c %s "$1")" -eq "$2" ]; }

# A private X server, exported as DISPLAY once it answers. Without an authority file it takes
# local clients of every user, so a program run as another user can show its windows there.
start_xvfb() {
    # Xvfb picks a free display number itself and writes it to the descriptor it is given.
    exec 3>"$tmp/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$tmp/xvfb.log" 2>&1 &
    xvfb_pid=$!
    exec 3>&-
    local deadline=$((SECONDS + 20))
    until grep -q '^[0-9]' "$tmp/display" 2>/dev/null; do
        kill -0 "$xvfb_pid" 2>/dev/null || { cat "$tmp/xvfb.log" >&2; fail "Xvfb did not start"; }
        [ "$SECONDS" -ge "$deadline" ] && fail "Xvfb gave no display number"
        sleep 0.05
    done
    DISPLAY=":$(head -n1 "$tmp/display")"
    export DISPLAY
    wait_for 20 "the X server" xdpyinfo >/dev/null 2>&1
}

# end_process PID: ends a process this script started, if any, and collects it. For the
# clean-ups: it never fails, whatever state the process is in.
end_process() {
    [ -n "$1" ] || return 0
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# keep_failed_run NAME [FILE...]: keeps the screenshots and the files given (those that exist)
# in BUILD_DIR/test-artifacts/NAME-DATE-PID, to be looked at after the run is gone.
keep_failed_run() {
    local keep f
    keep="$build/test-artifacts/$1-$(date +%Y%m%d-%H%M%S)-$$"
    shift
    mkdir -p "$keep"
    cp -r "$shots/." "$keep/" 2>/dev/null || true
    for f in "$@"; do
        [ ! -f "$f" ] || cp "$f" "$keep/" || true
    done
    echo "$test_label: FAILED; screenshots and logs in $keep" >&2
}
