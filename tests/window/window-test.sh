#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Drives the real calyxor binary in a real X window: its own Xvfb, a temporary copy of the
# application folder (so calyxor.ini is written there), xdotool for the pointer and the keys,
# ImageMagick's import for screenshots.
#
#   window-test.sh BUILD_DIR SCENARIO        run one scenario (see the case at the end)
#   window-test.sh BUILD_DIR screenshots DIR write default.png and graphite.png (Russian) and
#                                            default-en.png (English) into DIR
#
# Screenshots of a failing run are kept in BUILD_DIR/test-artifacts/. Everything started here
# is ended on the way out, however the run ends.
set -euo pipefail

build="$(cd "${1:?build folder}" && pwd)"
scenario="${2:?scenario}"

# ctest starts this from the build folder: what belongs to it is found beside the script.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../support/common.sh
source "$here/../support/common.sh"
test_label="window-test: $scenario"

# A sanitizer build of the program reports leaks at exit; the system libraries' are not its own.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/lsan.supp"

tmp="$(mktemp -d "${TMPDIR:-/tmp}/calyxor-window-XXXXXX")"
app="$tmp/app"
work="$tmp/work"
shots="$tmp/shots"
mkdir -p "$app" "$work" "$shots"
app_pid=""
bus_pid=""
spi_pid=""
other_pid=""
dunst_pid=""

cleanup() {
    local status=$?
    # Nothing here may end the clean-up early: a killed process's status is not a failure.
    set +e
    end_process "$app_pid"
    end_process "$other_pid"
    end_process "$dunst_pid"
    # The accessibility bus's launcher started that bus's daemon; it goes with it.
    if [ -n "$spi_pid" ]; then
        local child
        for child in $(pgrep -P "$spi_pid"); do end_process "$child"; done
        end_process "$spi_pid"
    fi
    end_process "$bus_pid"
    end_process "$xvfb_pid"
    [ "$status" -eq 0 ] || keep_failed_run "window-$scenario" "$tmp/app.log"
    rm -rf "$tmp"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The application folder: the binary, its skins and module, settings naming them.
lay_out_app() {
    local skin="${1:-default}"
    cp "$build/calyxor" "$app/"
    cp -r "$build/Skins" "$build/SFX" "$app/"
    printf '[Config]\r\nSkin=%s\r\nSFX=%s\r\n' "$app/Skins/$skin/skin.ini" "$app/SFX/default.sfx" \
        >"$app/calyxor.ini"
}

# Starts calyxor with the given arguments in the given working folder; sets win.
start_app() {
    local cwd="$1"
    shift
    (cd "$cwd" && exec "$app/calyxor" "$@") >>"$tmp/app.log" 2>&1 &
    app_pid=$!
    win="$(timeout 60 xdotool search --sync --onlyvisible --pid "$app_pid" --name '^Calyxor$' |
        head -n1)" || true
    [ -n "$win" ] || fail "no window appeared"
    # No window manager here: the window gets the keyboard only when told.
    xdotool windowfocus --sync "$win"
    shot "started"
}

app_gone() { ! kill -0 "$app_pid" 2>/dev/null; }

stop_app() {
    click "${close_x:-273}" "${close_y:-16}" # BtnClose
    wait_for 60 "the program to end" app_gone
    wait "$app_pid" || fail "calyxor exited with status $?"
    app_pid=""
}

# Window position: sets wx, wy (and ww, wh).
read_geometry() {
    eval "$(xdotool getwindowgeometry --shell "$win" | sed -n 's/^\(X\|Y\|WIDTH\|HEIGHT\)=/\1=/p')"
    wx=$X wy=$Y ww=$WIDTH wh=$HEIGHT
}
at_position() {
    read_geometry
    [ "$wx" -eq "$1" ] && [ "$wy" -eq "$2" ]
}

# The pointer must be where the click happens before the button goes down.
# (xdotool's own --sync waits for a move even when the pointer is already there.)
point() {
    read_geometry
    local tx=$((wx + $1)) ty=$((wy + $2))
    xdotool mousemove "$tx" "$ty"
    wait_for 30 "the pointer at $tx,$ty" pointer_at "$tx" "$ty"
}
pointer_at() {
    eval "$(xdotool getmouselocation --shell | grep '^[XY]=')"
    [ "$X" -eq "$1" ] && [ "$Y" -eq "$2" ]
}
click() {
    point "$1" "$2"
    xdotool click "${3:-1}"
}

# Visible windows of the program other than the main window and its tool-tips: its menus.
menus() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
        [ "$w" = "$win" ] && continue
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q TOOLTIP && continue
        echo "$w"
    done
}
menu_open() { [ -n "$(menus)" ]; }
no_menu() { [ -z "$(menus)" ]; }

type_key() {
    xdotool type --delay 20 "$1"
}

# wait_for_copy WHAT EXPECTED ACTUAL: waits for ACTUAL to be complete, then compares.
wait_for_copy() {
    wait_for 60 "$1" size_is "$3" "$(stat -c %s "$2")"
    cmp -s "$2" "$3" || fail "$1 holds other bytes than $(basename "$2")"
}
file_gone() { [ ! -e "$1" ]; }

# The bytes the engine writes for this key, from the program's command line without a window.
reference_encryption() {
    (cd "$work" && env -u DISPLAY QT_QPA_PLATFORM=offscreen "$app/calyxor" ENC "$1" "$2" "$3") \
        >>"$tmp/app.log" 2>&1 || fail "reference encryption failed"
}

# Crops the window region (x y w h, client coordinates) out of a screenshot of the screen.
grab() {
    read_geometry
    import -window root -crop "${4}x${5}+$((wx + $2))+$((wy + $3))" +repage "$1"
}
differs() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" != "0" ]; }
key_box_is() { # key_box_is "masked"|"shown": compares the key box with the masked picture
    grab "$tmp/keybox.png" 64 32 193 21
    if [ "$1" = masked ]; then ! differs "$tmp/masked.png" "$tmp/keybox.png"; else differs "$tmp/masked.png" "$tmp/keybox.png"; fi
}

# skin_value SKIN SECTION KEY: a number from a skin file.
skin_value() {
    awk -v s="[$2]" -v k="$3" -F= '{ sub(/\r$/, "") } /^\[/ { in_s = ($0 == s) } in_s && $1 == k { print $2; exit }' \
        "$app/Skins/$1/skin.ini"
}

# Whether a name has its owner on the session bus; asking starts nothing.
name_served() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}

# A session bus of this run's own, as a desktop session has one.
start_session_bus() {
    exec 5>"$tmp/bus"
    dbus-daemon --session --nofork --nopidfile --print-address=5 >>"$tmp/app.log" 2>&1 &
    bus_pid=$!
    exec 5>&-
    wait_for 20 "the session bus" grep -q '^unix:' "$tmp/bus"
    DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$tmp/bus")"
    export DBUS_SESSION_BUS_ADDRESS
}

# The accessibility bus a screen reader reads (at-spi2-core), on the session bus; Qt is told to
# speak on it without waiting for a screen reader to ask.
start_atspi() {
    /usr/libexec/at-spi-bus-launcher --launch-immediately >>"$tmp/app.log" 2>&1 &
    spi_pid=$!
    # Asked without starting it: a call to the name would have the bus start a second launcher.
    wait_for 20 "the accessibility bus" name_served org.a11y.Bus
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
}

atspi() { timeout 60 /usr/bin/python3 "$here/atspi-check.py" "$@" 2>>"$tmp/app.log" || fail "AT-SPI: $(tail -n1 "$tmp/app.log")"; }

# ---- scenarios ----

scenario_start() {
    lay_out_app
    start_app "$work"
    read_geometry
    [ "$ww" -eq 300 ] && [ "$wh" -eq 165 ] || fail "window is ${ww}x$wh, the skin's is 300x165"
    [ "$wx" -eq $(((screen_w - 300) / 2)) ] && [ "$wy" -eq $(((screen_h - 165) / 2)) ] ||
        fail "window at $wx,$wy is not centred on ${screen_w}x$screen_h"
    # The skin is drawn: the background picture brings many colours, a blank window few.
    grab "$tmp/window.png" 0 0 300 165
    local colours
    colours="$(identify -format %k "$tmp/window.png")"
    [ "$colours" -gt 200 ] || fail "the window shows only $colours colours"
    stop_app
    [ -f "$app/calyxor.ini" ] || fail "settings were not written into the application folder"
}

scenario_crypt() {
    lay_out_app
    mkdir -p "$work/in" "$work/out"
    # Text: random bytes are what a wrong key gives, and the window would ask about them.
    seq 1 50000 >"$work/in/data.bin"
    cp "$work/in/data.bin" "$work/original.bin"
    reference_encryption "Key-42" "$work/original.bin" "$work/expected.ash"

    start_app "$work/out" "$work/in/data.bin"
    type_key "Key-42"
    click 25 144 # BtnCrypt
    wait_for_copy "the encrypted file" "$work/expected.ash" "$work/in/data.bin.ash"
    shot "encrypted"
    stop_app

    # Decrypt the encrypted file through the popup menu: Команды > Расшифровать. The output is
    # named after the source without its extension, in the working folder.
    rm "$work/in/data.bin"
    start_app "$work/out" "$work/in/data.bin.ash"
    type_key "Key-42"
    click 230 70 3
    wait_for 30 "the popup menu" menu_open
    xdotool key Down Down Right
    wait_for 30 "the Commands submenu" eval '[ "$(menus | wc -l)" -ge 2 ]'
    shot "menu"
    xdotool key Down Return
    wait_for_copy "the decrypted file" "$work/original.bin" "$work/out/data.bin"
    wait_for 30 "the menu to close" no_menu

    click 145 144 # BtnKill: wipes the selected file
    wait_for 60 "the wiped file to go" file_gone "$work/in/data.bin.ash"
    shot "wiped"
    stop_app
}

scenario_sfx() {
    lay_out_app
    mkdir -p "$work/in" "$work/restored"
    # Text, a file of a kind: the module refuses to write what looks like a wrong key's noise.
    head -c 120000 /dev/urandom | base64 -w 76 >"$work/in/notes.txt"
    truncate -s 120000 "$work/in/notes.txt"
    start_app "$work" "$work/in/notes.txt"
    type_key "sfx key"
    click 24 112 # CheckBoxSFX
    click 25 144 # BtnCrypt
    wait_for 60 "the self-extracting file" test -x "$work/in/notes.txt.exe"
    stop_app
    local size=$(($(stat -c %s "$app/SFX/default.sfx") + 120000))
    [ "$(stat -c %s "$work/in/notes.txt.exe")" -ge "$size" ] || fail "the .exe is too short"
    (cd "$work/restored" && printf 'sfx key\n' | timeout 60 "$work/in/notes.txt.exe") \
        >>"$tmp/app.log" 2>&1 || fail "the self-extracting file did not run"
    cmp "$work/in/notes.txt" "$work/restored/notes.txt" || fail "the .exe restored other bytes"
}

# Drags from a client point by (dx, dy) in small steps with the given button held.
drag() {
    local x="$1" y="$2" dx="$3" dy="$4" button="${5:-1}" i steps=8
    point "$x" "$y"
    local args=(mousedown "$button")
    for ((i = 1; i <= steps; i++)); do
        args+=(mousemove_relative -- $((dx * i / steps - dx * (i - 1) / steps)) $((dy * i / steps - dy * (i - 1) / steps)))
    done
    xdotool "${args[@]}" mouseup "$button"
}

scenario_drag() {
    lay_out_app
    start_app "$work"
    read_geometry
    local x0=$wx y0=$wy
    drag 150 70 -123 77
    wait_for 30 "the window to follow the drag" at_position $((x0 - 123)) $((y0 + 77))
    shot "dragged"

    # A drag started on a button moves nothing. Events are handled in order, so once a later
    # small drag on the background has landed, the earlier one has had its effect, if any.
    drag 25 144 60 -40
    drag 150 70 1 1
    wait_for 30 "the small drag" at_position $((x0 - 122)) $((y0 + 78))

    # Off the screen's edge: no limit.
    drag 150 70 -300 -200
    wait_for 30 "the window past the edge" at_position $((x0 - 422)) $((y0 - 122))
    drag 150 70 300 200
    wait_for 30 "the window back" at_position $((x0 - 122)) $((y0 + 78))

    # With the right button the window moves too, and the release opens the menu there.
    drag 150 70 40 -20 3
    wait_for 30 "the right-button drag" at_position $((x0 - 82)) $((y0 + 58))
    wait_for 30 "the popup menu after the right-button drag" menu_open
    shot "right-drag-menu"
    xdotool key Escape
    wait_for 30 "the menu to close" no_menu
    stop_app
}

scenario_eye() {
    lay_out_app
    start_app "$work"
    type_key "Readable-Key"
    # The focus moves on to the first check box, so that no blinking caret is in the pictures.
    xdotool key Tab
    point 150 70
    grab "$tmp/masked.png" 64 32 193 21
    shot "masked"

    point 281 40 # BtnSee
    xdotool mousedown 1
    wait_for 30 "the key to show" key_box_is shown
    shot "held"
    point 281 100
    wait_for 30 "the key to be masked after leaving" key_box_is masked
    point 281 40
    sleep 0.3 # nothing is to happen: give it the time it would take
    key_box_is masked || fail "coming back over the eye revealed the key"
    xdotool mouseup 1
    shot "released"

    # Held and released over it: shown, then masked.
    xdotool mousedown 1
    wait_for 30 "the key to show again" key_box_is shown
    xdotool mouseup 1
    wait_for 30 "the key to be masked on release" key_box_is masked
    stop_app
}

scenario_popup() {
    lay_out_app
    start_app "$work"
    # A right click on a button, the label or the gauge opens nothing. The background click
    # after them is handled after them, so its menu shows that they opened none.
    click 25 144 3  # BtnCrypt
    click 273 16 3  # BtnClose: no command either
    click 120 14 3  # LabelFilename
    click 248 120 3 # ProgressBar
    click 230 70 3  # background
    wait_for 30 "the popup menu" menu_open
    shot "menu"
    [ "$(menus | wc -l)" -eq 1 ] || fail "more than one menu is open"
    read_geometry
    local m
    m="$(menus)"
    eval "$(xdotool getwindowgeometry --shell "$m" | grep '^[XY]=')"
    [ "$X" -eq $((wx + 230)) ] && [ "$Y" -eq $((wy + 70)) ] ||
        fail "the menu opened at $X,$Y, not at the background click"
    xdotool key Escape
    wait_for 30 "the menu to close" no_menu
    kill -0 "$app_pid" || fail "the program ended"
    stop_app
}

# A command-line run with a display shows its window, and its gauge is seen moving. The target
# is a pipe read here in steps, so the run waits at chosen points while the window is looked at.
window_painted() {
    grab "$tmp/window.png" 0 0 "$ww" "$wh"
    [ "$(identify -format %k "$tmp/window.png")" -gt 200 ]
}
gauge_moved_from() {
    grab "$tmp/gauge.png" "$gx" "$gy" "$gw" "$gh"
    differs "$1" "$tmp/gauge.png"
}
read_pipe() { # read_pipe BYTES: exactly so many bytes of the run's output
    timeout 60 dd bs=100000 count=$(($1 / 100000)) iflag=fullblock <&4 >>"$work/out.ash" 2>/dev/null ||
        fail "the run's output stopped"
}

scenario_progress() {
    lay_out_app
    head -c 8000000 /dev/urandom >"$work/big.bin"
    reference_encryption "gauge key" "$work/big.bin" "$work/expected.ash"
    mkfifo "$work/out.pipe"
    # Opened for reading and writing, so that opening never waits for the other side.
    exec 4<>"$work/out.pipe"
    : >"$work/out.ash"
    start_app "$work" ENC "gauge key" "$work/big.bin" "$work/out.pipe"
    read_geometry
    wait_for 60 "the window to be painted during the run" window_painted
    gx=$(skin_value default PROGRESSBAR LEFT) gy=$(skin_value default PROGRESSBAR TOP)
    gw=$(skin_value default PROGRESSBAR WIDTH) gh=$(skin_value default PROGRESSBAR HEIGHT)
    grab "$tmp/gauge-start.png" "$gx" "$gy" "$gw" "$gh"

    read_pipe 3000000
    wait_for 60 "the gauge to move" gauge_moved_from "$tmp/gauge-start.png"
    shot "gauge-mid"
    cp "$tmp/gauge.png" "$tmp/gauge-mid.png"
    [ "$(identify -format %k "$tmp/gauge-mid.png")" -gt 2 ] || fail "the gauge is one plain colour"
    read_pipe 3000000
    wait_for 60 "the gauge to move on" gauge_moved_from "$tmp/gauge-mid.png"
    shot "gauge-later"

    read_pipe 2000000
    wait_for 60 "the run to end" app_gone
    wait "$app_pid" || fail "calyxor exited with status $?"
    app_pid=""
    exec 4<&-
    cmp -s "$work/expected.ash" "$work/out.ash" || fail "the run wrote other bytes than the command line"
}

# At each scale factor the window takes that many screen pixels a pixel and is drawn at that
# resolution; the keys work the commands without the pointer. The pictures are kept in
# BUILD_DIR/test-artifacts/scale/ to be looked at.
scenario_scale() {
    lay_out_app
    local keep="$build/test-artifacts/scale" factor want_w want_h
    mkdir -p "$keep" "$work/in"
    printf 'quarterly figures\n' >"$work/in/report.txt"
    for factor in 1 1.5 2; do
        rm -f "$work/in/report.txt.ash"
        export QT_SCALE_FACTOR="$factor"
        start_app "$work" "$work/in/report.txt"
        unset QT_SCALE_FACTOR
        read_geometry
        # Qt rounds a half pixel up.
        want_w="$(awk -v f="$factor" 'BEGIN { printf "%d", 300 * f + 0.5 }')"
        want_h="$(awk -v f="$factor" 'BEGIN { printf "%d", 165 * f + 0.5 }')"
        [ "$ww" -eq "$want_w" ] && [ "$wh" -eq "$want_h" ] ||
            fail "at scale $factor the window is ${ww}x$wh, not ${want_w}x$want_h"
        type_key "secret"
        xdotool key ctrl+e
        wait_for 60 "the encrypted file at scale $factor" size_is "$work/in/report.txt.ash" 18
        sleep 0.6 # past a caret blink
        import -window root -crop "${ww}x$wh+$wx+$wy" +repage "$keep/window-x$factor.png"
        xdotool key ctrl+q
        wait_for 60 "the program to end at scale $factor" app_gone
        wait "$app_pid" || fail "calyxor exited with status $?"
        app_pid=""
    done
}

scenario_screenshots() {
    local out="${1:?folder for the pictures}" shot skin name
    mkdir -p "$out"
    out="$(cd "$out" && pwd)"
    printf 'quarterly figures\n' >"$work/report.pdf"
    # skin:language the program is started in:picture
    for shot in default:ru:default graphite:ru:graphite default:en:default-en; do
        IFS=: read -r skin LANGUAGE name <<<"$shot"
        export LANGUAGE
        lay_out_app "$skin"
        # BtnClose where this skin puts it.
        close_x=$(($(skin_value "$skin" BTNCLOSE LEFT) + 12))
        close_y=$(($(skin_value "$skin" BTNCLOSE TOP) + 8))
        start_app "$work" "$work/report.pdf"
        type_key "secret"
        point 150 70
        sleep 0.6 # past a caret blink
        read_geometry
        import -window root -crop "${ww}x$wh+$wx+$wy" +repage "$out/$name.png"
        stop_app
    done
    # The outcome display after an encryption, in English.
    export LANGUAGE=en
    lay_out_app default
    close_x=273 close_y=16
    rm -f "$work/report.pdf.ash"
    start_app "$work" "$work/report.pdf"
    type_key "secret"
    xdotool key ctrl+e
    wait_for 60 "the encrypted file" size_is "$work/report.pdf.ash" 18
    point 150 70
    sleep 0.6 # past a caret blink
    read_geometry
    import -window root -crop "${ww}x$wh+$wx+$wy" +repage "$out/outcome.png"
    stop_app
    unset LANGUAGE
}

# Read through AT-SPI in both languages: names, roles, actions, focus and the gauge's value,
# and the encrypt button pressed through its action as a screen reader's user does.
scenario_a11y() {
    lay_out_app
    start_session_bus
    start_atspi
    printf 'quarterly figures\n' >"$work/report.txt"
    local lang
    for lang in ru en; do
        rm -f "$work/report.txt.ash"
        export LANGUAGE="$lang"
        start_app "$work" "$work/report.txt"
        type_key "secret"
        atspi "$lang" "$app_pid" tree
        atspi "$lang" "$app_pid" press 18
        wait_for 30 "the encrypted file" size_is "$work/report.txt.ash" 18
        stop_app
    done
    unset LANGUAGE
}

# The keyboard alone: Tab reaches the buttons, which show the focus and answer Space; the replace
# question answers its mnemonic; the Menu key in the key box opens the program's menu, never the
# box's own; Shift+Delete wipes.
scenario_keys() {
    lay_out_app
    mkdir -p "$work/in"
    printf 'quarterly figures\n' >"$work/in/report.txt"
    cp "$work/in/report.txt" "$work/report.txt"
    reference_encryption "second" "$work/report.txt" "$work/second.ash"
    export LANGUAGE=ru
    start_app "$work" "$work/in/report.txt"
    type_key "first"
    grab "$tmp/crypt-idle.png" 8 136 35 17
    xdotool key Tab Tab Tab # the two check boxes, then the encrypt button
    wait_for 30 "the focus mark on the encrypt button" eval 'grab "$tmp/crypt.png" 8 136 35 17; differs "$tmp/crypt-idle.png" "$tmp/crypt.png"'
    shot "crypt-focused"
    xdotool key space
    wait_for 30 "the encrypted file" size_is "$work/in/report.txt.ash" 18
    # Back to the key box, a new key, and encrypt again: the question answers Alt+Д.
    xdotool key shift+Tab shift+Tab shift+Tab
    xdotool key BackSpace BackSpace BackSpace BackSpace BackSpace
    type_key "second"
    xdotool key ctrl+e
    wait_for 30 "the replace question" menu_open
    shot "question"
    xdotool key alt+Cyrillic_de
    wait_for 30 "the replaced file" eval 'cmp -s "$work/second.ash" "$work/in/report.txt.ash"'
    wait_for 30 "the question to close" no_menu
    # A window manager gives the window the keyboard back; here nobody does.
    xdotool windowfocus --sync "$win"

    # The Menu key in the key box: the program's menu, whose entries open submenus.
    xdotool key Menu
    wait_for 30 "the menu" menu_open
    xdotool key Down Down Right
    wait_for 30 "the Commands submenu" eval '[ "$(menus | wc -l)" -ge 2 ]'
    shot "menu-key"
    xdotool key Escape Escape
    wait_for 30 "the menu to close" no_menu

    xdotool key shift+Delete
    wait_for 30 "the wiped source" file_gone "$work/in/report.txt"
    xdotool key ctrl+q
    wait_for 60 "the program to end" app_gone
    wait "$app_pid" || fail "calyxor exited with status $?"
    app_pid=""
    unset LANGUAGE
}

# A run of more than a few seconds in a window the user has left ends with a desktop
# notification, through the session bus to a real notification daemon (dunst). The target is a
# pipe, read here only once the window has lost the focus and the run has lasted long enough.
notified() { dunstctl history 2>/dev/null | grep -q "$1"; }
notifications_served() { name_served org.freedesktop.Notifications; }
scenario_notify() {
    lay_out_app
    start_session_bus
    dunst >>"$tmp/app.log" 2>&1 &
    dunst_pid=$!
    wait_for 20 "the notification daemon" notifications_served
    mkdir -p "$work/in"
    head -c 1000000 /dev/urandom >"$work/in/data.bin"
    mkfifo "$work/in/data.bin.ash"
    exec 4<>"$work/in/data.bin.ash"
    export LANGUAGE=ru
    start_app "$work" "$work/in/data.bin"
    type_key "slow key"
    xdotool key ctrl+e
    wait_for 30 "the replace question" menu_open
    xdotool key alt+Cyrillic_de
    # Another program takes the keyboard while the run waits for its reader.
    xmessage -geometry +0+0 "another program" >>"$tmp/app.log" 2>&1 &
    other_pid=$!
    local other
    other="$(timeout 30 xdotool search --sync --onlyvisible --class xmessage | head -n1)" || true
    [ -n "$other" ] || fail "the other program's window did not appear"
    xdotool windowfocus --sync "$other"
    sleep 3.5
    notified "Зашифрован" && fail "notified before the run ended"
    timeout 60 dd bs=100000 count=10 iflag=fullblock <&4 >/dev/null 2>&1 || fail "the run's output stopped"
    exec 4<&-
    wait_for 30 "the notification" notified "Зашифрован: data.bin.ash"
    dunstctl history | grep -q "$work/in/data.bin.ash" || fail "the notification does not name the file's path"
    shot "notified"
    xdotool windowfocus --sync "$win"
    xdotool key ctrl+q
    wait_for 60 "the program to end" app_gone
    app_pid=""
    unset LANGUAGE
}

# A long message wraps as its box is laid out; the box is centred on the screen all the same.
box_centred() {
    local box
    box="$(menus | head -n1)"
    [ -n "$box" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$box" | sed -n 's/^\(X\|Y\|WIDTH\|HEIGHT\)=/B\1=/p')"
    local dx=$((BX + BWIDTH / 2 - screen_w / 2)) dy=$((BY + BHEIGHT / 2 - screen_h / 2))
    [ "${dx#-}" -le 1 ] && [ "${dy#-}" -le 1 ]
}
scenario_centre() {
    lay_out_app
    local name="a name of many words that the box has to wrap over several lines because it has no extension at all"
    printf 'text\n' >"$work/$name"
    export LANGUAGE=ru
    start_app "$work" "$work/$name"
    type_key "key"
    xdotool key ctrl+d # the naming refusal
    wait_for 30 "the refusal" menu_open
    wait_for 10 "the refusal centred on the screen" box_centred
    shot "refusal"
    xdotool key Return
    wait_for 30 "the refusal to close" no_menu
    unset LANGUAGE
    stop_app
}

# A file the desktop hands over (its entry's Exec line, as a file manager runs it from its own
# folder) decrypts beside itself; the same file typed on a command line still decrypts into the
# working folder.
scenario_handover() {
    lay_out_app
    mkdir -p "$work/docs" "$work/home"
    printf 'minutes of the meeting\n' >"$work/plain.txt"
    reference_encryption "hand" "$work/plain.txt" "$work/docs/minutes.txt.ash"
    local exec_line
    exec_line="$(sed -n 's/^Exec=//p' "$here/../../data/io.github.calyxor.Calyxor.desktop")"
    [ "${exec_line% %f}" != "$exec_line" ] || fail "the desktop entry does not take one file (%f)"
    # shellcheck disable=SC2086 # the entry's words, as the desktop splits them
    set -- ${exec_line% %f}
    shift # the program's name: the test's own copy runs
    start_app "$work/home" "$@" "$work/docs/minutes.txt.ash"
    type_key "hand"
    xdotool key ctrl+d
    wait_for_copy "the file decrypted beside itself" "$work/plain.txt" "$work/docs/minutes.txt"
    [ ! -e "$work/home/minutes.txt" ] || fail "the hand-over decrypted into the working folder"
    stop_app

    rm "$work/docs/minutes.txt"
    start_app "$work/home" "$work/docs/minutes.txt.ash"
    type_key "hand"
    xdotool key ctrl+d
    wait_for_copy "the file decrypted into the working folder" "$work/plain.txt" "$work/home/minutes.txt"
    stop_app
}

# The file managers' actions of data/filemanagers/: each file checked with the tool its desktop
# has, then its command run on a file as the file manager would run it, from another folder:
# the window opens with the file chosen, and what it makes lands beside the file.
fm="$here/../../data/filemanagers"

# validate_service_menu FILE: desktop-file-validate knows no KDE service menus ("Type=Service"),
# so its two complaints about that type's own keys are the only ones let through.
validate_service_menu() {
    local out
    out="$(desktop-file-validate "$1" 2>&1)" || true
    out="$(grep -v 'hint: ' <<<"$out" |
        grep -v -E 'key "(MimeType|Actions)" is present in group "Desktop Entry", but the type is "Service"' || true)"
    [ -z "$out" ] || fail "$(basename "$1"): $out"
    grep -q '^X-KDE-ServiceTypes=KonqPopupMenu/Plugin$' "$1" || fail "$(basename "$1") is no service menu"
    grep -q '^Name\[ru\]=' "$1" || fail "$(basename "$1") has no Russian name"
}
# validate_nemo_action FILE: Nemo reads a key file with one [Nemo Action] group.
validate_nemo_action() {
    /usr/bin/python3 - "$1" <<'PY' || fail "$(basename "$1") is not a valid Nemo action"
import configparser, sys
p = configparser.RawConfigParser(strict=True)
p.optionxform = str
p.read(sys.argv[1], encoding="utf-8")
assert p.sections() == ["Nemo Action"], p.sections()
a = p["Nemo Action"]
for key in ("Name", "Name[ru]", "Exec", "Selection", "Extensions"):
    assert a.get(key), key
assert a["Selection"] in ("s", "S"), a["Selection"]
assert "%F" in a["Exec"] or "%f" in a["Exec"], a["Exec"]
PY
}
# The command a file names, split as the desktop splits it, with the file in place of its field
# code; "calyxor" is this run's copy. Sets cmd.
command_of() { # command_of FILE KEY
    local line
    line="$(sed -n "s/^$2=//p" "$1" | tail -n1)"
    [ -n "$line" ] || fail "$(basename "$1") has no $2"
    # shellcheck disable=SC2206 # the words of the command, as the desktop splits them
    cmd=($line)
    [ "${cmd[0]}" = calyxor ] || fail "$(basename "$1") runs ${cmd[0]}, not calyxor"
}
# run_action VERB KEY...: runs cmd on the verb's file from another folder, then the command's key.
run_action() {
    local verb="$1" file="$work/docs/plan.txt" args=() word
    [ "$verb" = decrypt ] && file="$work/docs/plan.txt.ash"
    for word in "${cmd[@]:1}"; do
        case "$word" in %f | %F) args+=("$file") ;; *) args+=("$word") ;; esac
    done
    start_app "$work/home" "${args[@]}"
    action_done "$verb"
}
action_done() {
    type_key "fm key"
    if [ "$1" = encrypt ]; then
        xdotool key ctrl+e
        wait_for_copy "the encrypted file beside the source" "$work/expected.ash" "$work/docs/plan.txt.ash"
    else
        xdotool key ctrl+d
        wait_for_copy "the decrypted file beside the source" "$work/plan.txt" "$work/docs/plan.txt"
    fi
    if [ "${2:-}" = foreign ]; then # started by another program: not ours to wait for
        xdotool key ctrl+q
        wait_for 60 "the program to end" app_gone
        app_pid=""
    else
        stop_app
    fi
    [ -z "$(ls -A "$work/home")" ] || fail "the action wrote into the folder it was run from"
}
fresh_files() {
    rm -f "$work/docs/"*
    cp "$work/plan.txt" "$work/docs/plan.txt"
    cp "$work/expected.ash" "$work/docs/plan.txt.ash"
}
scenario_filemanagers() {
    lay_out_app
    mkdir -p "$work/docs" "$work/home"
    seq 1 1000 >"$work/plan.txt"
    reference_encryption "fm key" "$work/plan.txt" "$work/expected.ash"
    local verb
    for verb in encrypt decrypt; do
        validate_service_menu "$fm/calyxor-$verb.desktop"
        validate_nemo_action "$fm/calyxor-$verb.nemo_action"
        fresh_files
        [ "$verb" = encrypt ] && rm "$work/docs/plan.txt.ash"
        [ "$verb" = decrypt ] && rm "$work/docs/plan.txt"
        command_of "$fm/calyxor-$verb.desktop" Exec
        run_action "$verb"
        [ "$verb" = encrypt ] && rm "$work/docs/plan.txt.ash"
        [ "$verb" = decrypt ] && rm "$work/docs/plan.txt"
        command_of "$fm/calyxor-$verb.nemo_action" Exec
        run_action "$verb"
    done
    grep -q '^Extensions=ash;$' "$fm/calyxor-decrypt.nemo_action" || fail "Nemo offers decrypt on other files than .ash"

    # Nautilus: the extension loaded with the real bindings, in both languages, then activated.
    local check=(/usr/bin/python3 "$here/nautilus-check.py" "$fm/calyxor-nautilus.py") file
    fresh_files
    [ "$(LANGUAGE=ru "${check[@]}" "$work/docs/plan.txt.ash" | tr '\n' '|')" = "Расшифровать в Calyxor|Зашифровать в Calyxor|" ] ||
        fail "Nautilus's entries for an .ash file in Russian"
    [ "$(LANGUAGE=en "${check[@]}" "$work/docs/plan.txt" | tr '\n' '|')" = "Encrypt with Calyxor|" ] ||
        fail "Nautilus's entries for a plain file in English"
    [ -z "$("${check[@]}" "$work/docs")" ] || fail "Nautilus offers entries on a folder"
    for verb in encrypt decrypt; do
        fresh_files
        [ "$verb" = encrypt ] && rm "$work/docs/plan.txt.ash" && file="$work/docs/plan.txt"
        [ "$verb" = decrypt ] && rm "$work/docs/plan.txt" && file="$work/docs/plan.txt.ash"
        (cd "$work/home" && PATH="$app:$PATH" "${check[@]}" "$file" "$verb") >>"$tmp/app.log" 2>&1 ||
            fail "the Nautilus entry could not be activated"
        win="$(timeout 60 xdotool search --sync --onlyvisible --name '^Calyxor$' | head -n1)" || true
        [ -n "$win" ] || fail "the Nautilus entry opened no window"
        app_pid="$(xdotool getwindowpid "$win")"
        xdotool windowfocus --sync "$win"
        action_done "$verb" foreign
    done
}

# A wrong key is noticed before anything is written: asked about, Нет (Esc, Enter, Alt+Н) leaves
# the target absent or as it was, with no replace question after it; Да writes what the key
# gives. The right key asks nothing.
back_to_window() { wait_for 30 "the box to close" no_menu && xdotool windowfocus --sync "$win"; }
asked_wrong_key() { wait_for 30 "the wrong-key question" menu_open && shot "wrong-key"; }
scenario_wrongkey() {
    lay_out_app
    mkdir -p "$work/docs" "$work/out"
    seq 1 3000 >"$work/notes.txt"
    reference_encryption "right key" "$work/notes.txt" "$work/docs/notes.txt.ash"
    # What the wrong key gives: the four-argument form writes it without asking, as always.
    (cd "$work" && env -u DISPLAY QT_QPA_PLATFORM=offscreen "$app/calyxor" DEC "wrong key" \
        "$work/docs/notes.txt.ash" "$work/garbage") >>"$tmp/app.log" 2>&1 || fail "the reference decryption failed"
    export LANGUAGE=ru
    start_app "$work/out" "$work/docs/notes.txt.ash"
    type_key "wrong key"
    local answer
    for answer in Escape Return; do
        xdotool key ctrl+d
        asked_wrong_key
        xdotool key "$answer"
        back_to_window
        [ ! -e "$work/out/notes.txt" ] || fail "$answer to the wrong-key question wrote the target"
    done
    printf 'the old notes\n' >"$work/out/notes.txt"
    cp "$work/out/notes.txt" "$work/old.txt"
    xdotool key ctrl+d
    asked_wrong_key
    xdotool key alt+Cyrillic_en
    back_to_window # no replace question follows
    cmp -s "$work/old.txt" "$work/out/notes.txt" || fail "Нет changed the existing target"
    ls "$work/out" | grep -qv '^notes.txt$' && fail "Нет left a file behind: $(ls "$work/out")"

    # Да, then Да to replacing the old file: the wrong key's bytes, as asked for.
    xdotool key ctrl+d
    asked_wrong_key
    local first
    first="$(menus)"
    xdotool key alt+Cyrillic_de
    wait_for 30 "the replace question after the wrong-key one" eval '[ -n "$(menus)" ] && [ "$(menus)" != "$first" ]'
    xdotool key alt+Cyrillic_de
    wait_for_copy "the target written anyway" "$work/garbage" "$work/out/notes.txt"
    back_to_window

    # The right key: no question at all.
    rm "$work/out/notes.txt"
    xdotool key BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
    type_key "right key"
    xdotool key ctrl+d
    wait_for_copy "the decrypted file" "$work/notes.txt" "$work/out/notes.txt"
    no_menu || fail "the right key was asked about"
    stop_app
    unset LANGUAGE
}

# Encrypting with «Удалить исходный файл» asks for the key again: a typo writes nothing and
# wipes nothing and says so, Esc does the same silently, and the right key encrypts and wipes.
scenario_confirm() {
    lay_out_app
    mkdir -p "$work/in"
    seq 1 3000 >"$work/in/secret.txt"
    cp "$work/in/secret.txt" "$work/original.txt"
    reference_encryption "Secret1" "$work/original.txt" "$work/expected.ash"
    export LANGUAGE=ru
    start_app "$work" "$work/in/secret.txt"
    click 24 88 # CheckBoxKill
    xdotool windowfocus --sync "$win"
    click 150 42 # the key box
    type_key "Secret1"
    xdotool key ctrl+e
    wait_for 30 "the key box" menu_open
    shot "confirm"
    local first
    first="$(menus)"
    type_key "Secrte1"
    xdotool key Return
    wait_for 30 "the message that the keys differ" eval '[ -n "$(menus)" ] && [ "$(menus)" != "$first" ]'
    shot "differ"
    xdotool key Return
    back_to_window
    [ ! -e "$work/in/secret.txt.ash" ] || fail "a mistyped confirmation wrote the encrypted file"
    cmp -s "$work/original.txt" "$work/in/secret.txt" || fail "a mistyped confirmation touched the source"

    xdotool key ctrl+e
    wait_for 30 "the key box" menu_open
    type_key "Secret1"
    xdotool key Escape
    back_to_window
    [ ! -e "$work/in/secret.txt.ash" ] || fail "a cancelled confirmation wrote the encrypted file"
    [ -e "$work/in/secret.txt" ] || fail "a cancelled confirmation wiped the source"

    xdotool key ctrl+e
    wait_for 30 "the key box" menu_open
    type_key "Secret1"
    xdotool key Return
    wait_for_copy "the encrypted file" "$work/expected.ash" "$work/in/secret.txt.ash"
    wait_for 30 "the wiped source" file_gone "$work/in/secret.txt"
    no_menu || fail "a box is open after a confirmed encryption"
    stop_app
    unset LANGUAGE
}

start_xvfb
read -r screen_w screen_h < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
case "$scenario" in
start | crypt | sfx | drag | eye | popup | progress | scale | a11y | keys | notify | centre | handover | filemanagers | wrongkey | confirm) "scenario_$scenario" ;;
screenshots) scenario_screenshots "${3:-}" ;;
*) fail "unknown scenario" ;;
esac
echo "window-test: $scenario passed"
