#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the Windows self-extracting module for real under Wine. A self-extracting file is put
# together as the program puts it: SFX/windows.sfx followed by the bytes `calyxor ENC` wrote.
#
#   wine-sfx-test.sh BUILD_DIR prefix              make BUILD_DIR/wineprefix afresh (once a run)
#   wine-sfx-test.sh BUILD_DIR console             key on standard input, options, failures
#   wine-sfx-test.sh BUILD_DIR dialog [SHOT.png]   the key dialog under Xvfb, driven by xdotool;
#                                                  SHOT.png receives a picture of the dialog
set -euo pipefail

build="$(cd "${1:?build folder}" && pwd)"
scenario="${2:?scenario}"
module="$build/SFX/windows.sfx"

# ctest starts this from the build folder: the helpers are found beside the script.
# shellcheck source=../support/common.sh
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../support/common.sh"
test_label="wine-sfx-test: $scenario"

export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
# No Mono or Gecko: the module needs neither, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Keys are given to calyxor as UTF-8 arguments.
export LC_ALL=C.UTF-8
wine="${CALYXOR_WINE:-$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)}"
wineserver="$(command -v wineserver || echo /usr/lib/wine/wineserver64)"

tmp="$(mktemp -d "${TMPDIR:-/tmp}/calyxor-wine-XXXXXX")"
# Made by the scenario that takes pictures: only a failed run of that one has any to keep.
shots="$tmp/shots"
run_pid=""
cleanup() {
    local status=$?
    set +e
    end_process "$run_pid"
    # Wine's server outlives its last program by a few seconds, and the next scenario's
    # programs would join it with this one's display (or its lack of one): end it here.
    "$wineserver" -k 2>/dev/null
    "$wineserver" -w 2>/dev/null
    end_process "$xvfb_pid"
    [ "$status" -eq 0 ] || [ ! -d "$shots" ] || keep_failed_run "wine-$scenario" "$tmp/run.log"
    rm -rf "$tmp"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# make_sfx KEY SOURCE EXE: the program's encryption of SOURCE behind the module.
make_sfx() {
    env -u DISPLAY QT_QPA_PLATFORM=offscreen "$build/calyxor" ENC "$1" "$2" "$tmp/payload.ash" \
        >"$tmp/calyxor.log" 2>&1 || { cat "$tmp/calyxor.log" >&2; fail "calyxor ENC failed"; }
    cat "$module" "$tmp/payload.ash" >"$3"
    rm "$tmp/payload.ash"
}

# run_sfx DIR INPUT ARGS...: runs DIR/report.doc.exe in DIR with INPUT on standard input;
# sets status and err.
# A run that never ends (a device opened as the output) fails after a bound meant for a loaded
# machine, with status 124, instead of holding the test.
run_sfx() { run_named report.doc.exe "$@"; }
run_named() {
    local exe="$1" dir="$2" input="$3"
    shift 3
    status=0
    (cd "$dir" && printf '%s' "$input" | timeout 240 env -u DISPLAY "$wine" "$exe" "$@") \
        >"$tmp/out" 2>"$tmp/err" || status=$?
    err="$(cat "$tmp/err")"
}
# wait_on PID SECONDS WHAT COMMAND...: waits for COMMAND to succeed while the process PID
# works; fails at once when the process ended without it, and only after a generous bound
# while it still runs.
wait_on() {
    local pid="$1" timeout="$2" what="$3"
    shift 3
    local deadline=$((SECONDS + timeout))
    until "$@"; do
        kill -0 "$pid" 2>/dev/null || { "$@" && return 0; fail "the run ended before $what"; }
        [ "$SECONDS" -ge "$deadline" ] && fail "timed out waiting for $what"
        sleep 0.05
    done
}
expect_status() { [ "$status" -eq "$1" ] || fail "$2: exit status $status, not $1: $err"; }
listing() { (cd "$1" && ls -A | tr '\n' ' '); }
# document N FILE: text of N bytes, content of a kind as a user's document is. A decryption
# of random bytes looks like a wrong key's, which the module refuses to write.
document() { head -c "$1" /dev/urandom | base64 -w 76 >"$2" && truncate -s "$1" "$2"; }

# run_typed ARGS KEY...: runs report.doc.exe ARGS in $d on a terminal, typing the n-th KEY at
# its n-th key prompt; what the terminal showed is in $tmp/screen, ending in "status=N". Wine
# makes the terminal the program's console.
run_typed() {
    local args="$1" n=0 key
    shift
    rm -f "$tmp/typed" "$tmp/screen"
    mkfifo "$tmp/typed"
    (cd "$d" && exec script -qfc "env -u DISPLAY '$wine' report.doc.exe $args; echo status=\$?" \
        /dev/null <"$tmp/typed" >"$tmp/screen" 2>&1) &
    run_pid=$!
    exec 4>"$tmp/typed"
    for key in "$@"; do
        n=$((n + 1))
        wait_on "$run_pid" 240 "key prompt $n" prompts_at_least "$n"
        printf '%s\r' "$key" >&4
    done
    wait_on "$run_pid" 240 "the run on the terminal" grep -q "status=" "$tmp/screen"
    exec 4>&-
    wait "$run_pid" || true
    run_pid=""
}
prompts_at_least() { [ "$(grep -o "Key:" "$tmp/screen" | wc -l)" -ge "$1" ]; }

scenario_prefix() {
    rm -rf "$WINEPREFIX"
    env -u DISPLAY "$wine" wineboot -i >"$tmp/boot.log" 2>&1 || { cat "$tmp/boot.log" >&2; fail "wineboot failed"; }
    # Without a window manager Wine draws the windows' frames and captions itself.
    env -u DISPLAY "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        >>"$tmp/boot.log" 2>&1 || { cat "$tmp/boot.log" >&2; fail "the prefix's settings failed"; }
    # The prefix is complete once its server has written everything and gone.
    "$wineserver" -w
    [ -f "$WINEPREFIX/system.reg" ] || fail "no prefix was made"
}

# Wine's server ends a few seconds after its last program, and a program started just as it
# ends can be lost with it, exit status 0 and nothing done. One server held for the whole
# scenario (the clean-up ends it) leaves no such moment.
hold_wineserver() { "$wineserver" -p; }

scenario_console() {
    local d="$tmp/d" key="correct horse"
    mkdir -p "$d" "$tmp/elsewhere"
    hold_wineserver
    # Beyond one read block of the module, and not a multiple of it.
    document 200003 "$tmp/data"
    make_sfx "$key" "$tmp/data" "$d/report.doc.exe"
    [ "$(stat -c %s "$d/report.doc.exe")" -eq $(($(stat -c %s "$module") + 200003)) ] ||
        fail "the self-extracting file is not module + payload long"

    # A script's key with CR LF, and lines after it that are not read.
    run_sfx "$d" "$key"$'\r\nnot the key\n'
    expect_status 0 "the right key"
    cmp -s "$tmp/data" "$d/report.doc" || fail "the right key restored other bytes"
    [[ "$err" == *"Restored"*"200003 bytes"* ]] || fail "no outcome on standard error: $err"
    # A Russian user reads Russian: LANGUAGE wins over the C.UTF-8 above.
    LANGUAGE=ru run_sfx "$d" "$key"$'\n' -f
    expect_status 0 "the right key, in Russian"
    [[ "$err" == *"Восстановлен report.doc (байт: 200003)."* ]] ||
        fail "the outcome is not in Russian: $err"

    # An existing file is kept without -f, and no temporary file is left beside it.
    printf 'keep me' >"$d/report.doc"
    run_sfx "$d" "$key"$'\n'
    expect_status 1 "an existing output without -f"
    [[ "$err" == *"already exists"* ]] || fail "no word of the existing file: $err"
    [ "$(cat "$d/report.doc")" = "keep me" ] || fail "the existing file was changed without -f"
    [ "$(listing "$d")" = "report.doc report.doc.exe " ] || fail "left behind: $(listing "$d")"

    # A wrong key from a pipe writes nothing, not even with -f; --no-key-check writes the
    # other bytes of the same length it gives.
    run_sfx "$d" "correct horsf" -f
    expect_status 1 "a wrong key from a pipe"
    [[ "$err" == *"the key seems to be wrong"* ]] || fail "no word of the wrong key: $err"
    [ "$(cat "$d/report.doc")" = "keep me" ] || fail "a wrong key replaced the existing file"
    [ "$(listing "$d")" = "report.doc report.doc.exe " ] || fail "left behind: $(listing "$d")"
    run_sfx "$d" "correct horsf" -f --no-key-check
    expect_status 0 "a wrong key with --no-key-check"
    [ "$(stat -c %s "$d/report.doc")" -eq 200003 ] || fail "a wrong key gave another length"
    cmp -s "$tmp/data" "$d/report.doc" && fail "a wrong key restored the source"

    # On a terminal: a prompt, the key not echoed as it is typed, a wrong key asked for again,
    # and -f replacing the file the wrong key wrote.
    run_typed -f "correct horsf" "$key"
    grep -q "status=0" "$tmp/screen" || fail "the run on a terminal failed: $(cat "$tmp/screen")"
    grep -q "correct hors" "$tmp/screen" &&
        fail "the key was shown as it was typed: $(cat "$tmp/screen")"
    grep -q "Type it again" "$tmp/screen" ||
        fail "a wrong key was not asked for again: $(cat "$tmp/screen")"
    cmp -s "$tmp/data" "$d/report.doc" || fail "the key typed on a terminal restored other bytes"
    # Three wrong keys end the run, and nothing is written.
    run_typed "-o three.doc" "correct horsf" "x" "correct horsf"
    grep -q "status=1" "$tmp/screen" || fail "three wrong keys did not fail: $(cat "$tmp/screen")"
    grep -q "Nothing was written" "$tmp/screen" || fail "no word of it: $(cat "$tmp/screen")"
    [ "$(listing "$d")" = "report.doc report.doc.exe " ] || fail "left behind: $(listing "$d")"

    # -o into another folder, under the restored name.
    run_sfx "$d" "$key" -o '..\elsewhere'
    expect_status 0 "-o FOLDER"
    cmp -s "$tmp/data" "$tmp/elsewhere/report.doc" ||
        fail "-o FOLDER restored other bytes (in it: $(listing "$tmp/elsewhere"); said: $err)"

    # Text CP1251 cannot hold, and an empty key, write nothing.
    rm "$d/report.doc"
    for bad in "密码"$'\n' $'\n'; do
        run_sfx "$d" "$bad"
        expect_status 1 "the key '$bad'"
        [ "$(listing "$d")" = "report.doc.exe " ] || fail "a refused key left $(listing "$d")"
    done

    # Keys are text: a control character is refused by its code, and the byte order mark
    # Notepad puts before a file's text is named as such (the same rule as calyxor-cli's).
    run_sfx "$d" $'tab\tkey\n'
    expect_status 1 "a key with a tab"
    [[ "$err" == *"U+0009"* ]] || fail "the tab is not named: $err"
    make_sfx "пароль Ёжик №1" "$tmp/data" "$d/report.doc.exe"
    run_sfx "$d" $'\xEF\xBB\xBF'"пароль Ёжик №1"$'\r\n'
    expect_status 1 "a key after a byte order mark"
    [[ "$err" == *"byte-order mark"* ]] || fail "the byte order mark is not named: $err"
    [ "$(listing "$d")" = "report.doc.exe " ] || fail "a refused key left $(listing "$d")"
    # A Cyrillic key gives the same CP1251 bytes as in the program.
    run_sfx "$d" "пароль Ёжик №1"$'\r\n'
    expect_status 0 "a Cyrillic key"
    cmp -s "$tmp/data" "$d/report.doc" || fail "a Cyrillic key restored other bytes"
    rm "$d/report.doc"

    # -o - is standard output, as on Linux: no file named "-".
    run_sfx "$d" "пароль Ёжик №1"$'\n' -o -
    expect_status 0 "-o -"
    cmp -s "$tmp/data" "$tmp/out" || fail "-o - wrote other bytes to standard output"
    [ "$(listing "$d")" = "report.doc.exe " ] || fail "-o - left $(listing "$d")"

    # Device names, with any extension and in any case, are refused and never opened; also
    # when the module itself was renamed after one.
    for device in NUL com1.txt 'Aux.doc' 'lpt9' 'CON' 'sub\prn.x.y' 'COM1:'; do
        run_sfx "$d" "пароль Ёжик №1"$'\n' -o "$device"
        expect_status 1 "the device name $device"
        [[ "$err" == *"Windows device"* ]] || fail "-o $device said: $err"
    done
    for renamed in COM1.exe aux.exe NUL.exe; do
        cp "$d/report.doc.exe" "$d/$renamed"
        run_named "$renamed" "$d" "пароль Ёжик №1"$'\n'
        expect_status 1 "the module renamed $renamed"
        [[ "$err" == *"Windows device"* ]] || fail "$renamed said: $err"
        rm "$d/$renamed"
    done
    [ "$(listing "$d")" = "report.doc.exe " ] || fail "device names left $(listing "$d")"

    # Killed while it writes, with its temporary file of decrypted bytes open: nothing is left.
    # (The temporary file is made once the key has been judged, so the run is given its key.)
    document 96000000 "$tmp/big"
    make_sfx "$key" "$tmp/big" "$d/big.doc.exe"
    rm "$tmp/big"
    mkfifo "$tmp/bigkey"
    (cd "$d" && exec env -u DISPLAY "$wine" big.doc.exe <"$tmp/bigkey" >/dev/null 2>&1) &
    run_pid=$!
    exec 5>"$tmp/bigkey"
    printf '%s\n' "$key" >&5
    has_temp() { compgen -G "$d/*.tmp" >/dev/null; }
    wait_on "$run_pid" 240 "the temporary file" has_temp
    kill -9 "$run_pid"
    wait "$run_pid" 2>/dev/null || true
    run_pid=""
    exec 5>&-
    no_temp() { ! has_temp; }
    # Wine's server closes the killed program's files as it notices the end.
    wait_for 120 "the killed run's temporary file to go" no_temp
    rm "$d/big.doc.exe"
    [ "$(listing "$d")" = "report.doc.exe " ] || fail "a killed run left $(listing "$d")"

    # Signed after it was made: the certificate table appended at the end is not restored.
    document 200000 "$tmp/data8"
    make_sfx "$key" "$tmp/data8" "$d/signed.doc.exe"
    sign_afterwards "$d/signed.doc.exe"
    run_named signed.doc.exe "$d" "$key"$'\n'
    expect_status 0 "a file signed afterwards"
    cmp -s "$tmp/data8" "$d/signed.doc" || fail "a file signed afterwards restored other bytes"
    rm "$d/signed.doc" "$d/signed.doc.exe"

    # A payload cut short restores what is there.
    truncate -s -777 "$d/report.doc.exe"
    run_sfx "$d" "пароль Ёжик №1"$'\n'
    expect_status 0 "a cut payload"
    cmp -s <(head -c $((200003 - 777)) "$tmp/data") "$d/report.doc" ||
        fail "a cut payload did not restore its first bytes"

    # The bare module, help and a wrong command line.
    cp "$module" "$d/report.doc.exe"
    rm "$d/report.doc"
    run_sfx "$d" "$key"$'\n'
    expect_status 1 "the bare module"
    [[ "$err" == *"nothing to extract"* ]] || fail "the bare module said: $err"
    run_sfx "$d" "" --help
    expect_status 0 "--help"
    grep -q -- "-o PATH" "$tmp/out" && grep -q -- "--no-key-check" "$tmp/out" ||
        fail "--help does not explain: $(cat "$tmp/out")"
    run_sfx "$d" "" --bogus
    expect_status 2 "an unknown option"
    [ "$(listing "$d")" = "report.doc.exe " ] || fail "left behind: $(listing "$d")"
}

# sign_afterwards EXE: appends a certificate table as a signing tool does (padded to 8 bytes)
# and points the optional header's security entry at it. Its contents do not matter here.
sign_afterwards() {
    local exe="$1" size pe entry
    size=$(stat -c %s "$exe")
    [ $((size % 8)) -eq 0 ] || fail "the test expects a file that needs no padding"
    pe=$(od -An -tu4 -j 60 -N 4 "$exe" | tr -d ' ')
    entry=$((pe + 4 + 20 + 112 + 4 * 8)) # a PE32+ image's security directory entry
    le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) \
        $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
    printf "$(le32 "$size")$(le32 2048)" | dd of="$exe" bs=1 seek="$entry" conv=notrunc status=none
    head -c 2048 /dev/urandom >>"$exe"
}

# ---- the dialog ----

# Visible windows of the run whose title is exactly $1.
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
has_window() { [ -n "$(window_named "$1")" ]; }
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }
# focus TITLE: gives the keyboard to the window of that title (sets win). There is no window
# manager here, and Wine hands the focus back to a dialog's owner while it shows a message box,
# so the focus is given once Wine has settled, and checked.
focus() {
    wait_for 60 "the window \"$1\"" has_window "$1"
    win="$(window_named "$1")"
    local tries
    for tries in 1 2 3 4 5; do
        sleep 0.5
        xdotool windowfocus --sync "$win" 2>/dev/null || true
        sleep 0.2
        has_focus "$win" && return 0
    done
    fail "the window \"$1\" does not take the keyboard"
}
run_gone() { ! kill -0 "$run_pid" 2>/dev/null; }

scenario_dialog() {
    local picture="${1:-}" d="$tmp/d" key="Key-42 x"
    mkdir -p "$d"
    document 150000 "$tmp/data"
    make_sfx "$key" "$tmp/data" "$d/report.doc.exe"
    printf 'keep me' >"$d/report.doc"
    mkdir -p "$shots"
    start_xvfb
    # A server left by an earlier run has no display: this run's windows need one that has.
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    hold_wineserver
    # Started as Explorer starts it: no arguments and nobody on standard input.
    (cd "$d" && exec "$wine" report.doc.exe </dev/null >"$tmp/run.log" 2>&1) &
    run_pid=$!

    # A wrong key is refused before the question of the existing file, and asked for again.
    focus "Calyxor: report.doc"
    xdotool type --delay 30 "Key-42 y"
    xdotool key Return
    focus "Calyxor"
    shot "wrong key"
    xdotool key Return
    focus "Calyxor: report.doc"
    xdotool type --delay 30 "$key"
    sleep 0.3
    shot "typed"
    if [ -n "$picture" ]; then
        eval "$(xdotool getwindowgeometry --shell "$win" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
        import -window root -crop "${WIDTH}x$HEIGHT+$X+$Y" +repage "$picture"
    fi
    xdotool key Return

    # The existing file: the question's default answer keeps it, and the key is asked again.
    focus "Calyxor"
    shot "question"
    xdotool key Return
    focus "Calyxor: report.doc"
    [ "$(cat "$d/report.doc")" = "keep me" ] || fail "the existing file was replaced unasked"
    xdotool type --delay 30 "$key"
    xdotool key Return
    focus "Calyxor"
    xdotool key y

    wait_for 60 "the restored file" size_is "$d/report.doc" 150000
    cmp -s "$tmp/data" "$d/report.doc" || fail "the dialog restored other bytes"
    focus "Calyxor"
    shot "outcome"
    xdotool key Return
    wait_for 60 "the module to end" run_gone
    local status=0
    wait "$run_pid" || status=$?
    run_pid=""
    [ "$status" -eq 0 ] || fail "the module ended with status $status"
    [ "$(cd "$d" && ls -A | tr '\n' ' ')" = "report.doc report.doc.exe " ] ||
        fail "left behind: $(cd "$d" && ls -A)"

    # Three wrong keys end the module with nothing written.
    rm "$d/report.doc"
    (cd "$d" && exec "$wine" report.doc.exe </dev/null >"$tmp/run.log" 2>&1) &
    run_pid=$!
    local wrong
    for wrong in "Key-42 y" "key-42 x" "Key-42"; do
        focus "Calyxor: report.doc"
        xdotool type --delay 30 "$wrong"
        xdotool key Return
        focus "Calyxor"
        xdotool key Return
    done
    wait_for 60 "the module to end" run_gone
    status=0
    wait "$run_pid" || status=$?
    run_pid=""
    [ "$status" -eq 1 ] || fail "three wrong keys: the module ended with status $status"
    [ "$(cd "$d" && ls -A | tr '\n' ' ')" = "report.doc.exe " ] ||
        fail "three wrong keys left: $(cd "$d" && ls -A)"
}

case "$scenario" in
prefix) scenario_prefix ;;
console) scenario_console ;;
dialog) scenario_dialog "${3:-}" ;;
*) fail "unknown scenario" ;;
esac
echo "wine-sfx-test: $scenario passed"
