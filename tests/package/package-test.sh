#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Debian package, for real: builds it from the build folder, checks it as Debian would,
# installs it with apt, runs the installed program from /usr/bin as an ordinary user under a
# private Xvfb, and removes it again.
#
#   package-test.sh BUILD_DIR
#
# Needs root (apt, a second user); exits 77, counted as skipped, with the reason when it
# cannot run. The user is calyxortest, made when missing. Screenshots of a failing run are
# kept in BUILD_DIR/test-artifacts/.
set -euo pipefail

build="$(cd "${1:?build folder}" && pwd)"
user=calyxortest

# ctest starts this from the build folder: the helpers are found beside the script.
# shellcheck source=../support/common.sh
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../support/common.sh"
test_label="package-test"

skip() {
    echo "package-test: skipped: $*" >&2
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
command -v apt-get >/dev/null || skip "no apt-get on this machine"
if dpkg-query -W -f='${Status}' calyxor 2>/dev/null | grep -q 'install ok installed'; then
    skip "calyxor is installed here already, and this test would remove it"
fi

tmp="$(mktemp -d "${TMPDIR:-/tmp}/calyxor-package-XXXXXX")"
chmod 755 "$tmp"
shots="$tmp/shots"
mkdir -p "$shots"
app_pid=""
installed=""

cleanup() {
    local status=$?
    set +e
    end_process "$app_pid"
    end_process "$xvfb_pid"
    [ -n "$installed" ] && apt-get remove -y -qq calyxor >>"$tmp/apt.log" 2>&1
    [ "$status" -eq 0 ] || keep_failed_run "package" "$tmp"/*.log
    rm -rf "$tmp"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# ---- the package as a file ----

rm -f "$build"/calyxor_*.deb
(cd "$build" && cpack -G DEB) >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log" >&2; fail "cpack failed"; }
debs=("$build"/calyxor_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single calyxor_*_amd64.deb"
deb="${debs[0]}"

# Errors fail the test; warnings are printed for the reader of the log.
lintian --fail-on error --display-info "$deb" >"$tmp/lintian.log" 2>&1 || { cat "$tmp/lintian.log" >&2; fail "lintian reports errors"; }
grep -v '^running with root' "$tmp/lintian.log" >&2 || true
# The programs hold keys: a missing stack protector, fortification, RELRO or immediate binding
# shows as one of lintian's hardening tags, informational ones included.
if grep -q 'hardening-' "$tmp/lintian.log"; then
    fail "lintian reports hardening tags: $(grep 'hardening-' "$tmp/lintian.log" | tr '\n' ' ')"
fi

# The package says under which terms it may be passed on, in the form Debian reads: any tag
# about the copyright file or a licence, informational ones included, means it does not.
if grep -E -i '^[EWIPX]: calyxor.*: [a-z0-9-]*(copyright|licen[cs]e|dep5)' "$tmp/lintian.log"; then
    fail "lintian reports copyright or licence tags"
fi

# Every entry belongs to root, nothing is writable by others, programs are stripped.
dpkg-deb -c "$deb" >"$tmp/contents.log"
awk '$2 != "root/root" { bad = 1; print "not root-owned: " $0 } END { exit bad }' \
    "$tmp/contents.log" >&2 || fail "the package holds files not owned by root"
awk '$1 ~ /^d/ && $1 != "drwxr-xr-x" || $1 ~ /^-/ && $1 != "-rw-r--r--" && $1 != "-rwxr-xr-x" \
    { bad = 1; print "odd mode: " $0 } END { exit bad }' "$tmp/contents.log" >&2 ||
    fail "the package holds files with unusual permissions"
mkdir "$tmp/unpacked"
dpkg-deb -x "$deb" "$tmp/unpacked"
file "$tmp/unpacked/usr/bin/calyxor" | grep -q ', stripped' || fail "/usr/bin/calyxor is not stripped"
for f in applications/io.github.calyxor.Calyxor.desktop metainfo/io.github.calyxor.Calyxor.metainfo.xml \
    doc/calyxor/copyright doc/calyxor/changelog.Debian.gz calyxor/Skins/default/skin.ini \
    calyxor/SFX/default.sfx icons/hicolor/scalable/apps/io.github.calyxor.Calyxor.svg \
    icons/hicolor/48x48/apps/io.github.calyxor.Calyxor.png mime/packages/io.github.calyxor.Calyxor.xml \
    bash-completion/completions/calyxor bash-completion/completions/calyxor-cli \
    zsh/vendor-completions/_calyxor zsh/vendor-completions/_calyxor-cli \
    fish/vendor_completions.d/calyxor.fish fish/vendor_completions.d/calyxor-cli.fish \
    kio/servicemenus/calyxor-encrypt.desktop kio/servicemenus/calyxor-decrypt.desktop \
    nemo/actions/calyxor-encrypt.nemo_action nemo/actions/calyxor-decrypt.nemo_action \
    nautilus-python/extensions/calyxor.py; do
    [ -f "$tmp/unpacked/usr/share/$f" ] || fail "the package lacks /usr/share/$f"
done
desktop-file-validate "$tmp/unpacked/usr/share/applications/io.github.calyxor.Calyxor.desktop" ||
    fail "the desktop entry is not valid"
appstreamcli validate --no-net "$tmp/unpacked/usr/share/metainfo/io.github.calyxor.Calyxor.metainfo.xml" \
    >"$tmp/appstream.log" 2>&1 || { cat "$tmp/appstream.log" >&2; fail "the AppStream metainfo is not valid"; }

# ---- installed ----

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" \
    >"$tmp/apt.log" 2>&1 || { cat "$tmp/apt.log" >&2; fail "apt-get could not install the package"; }
installed=1
[ -x /usr/bin/calyxor ] || fail "/usr/bin/calyxor is missing after the install"
# The file type is known once the package's trigger has rebuilt the MIME database.
if [ -f /usr/share/mime/globs2 ]; then
    grep -q 'application/x-calyxor-encrypted:\*\.ash' /usr/share/mime/globs2 ||
        fail "*.ash is not in the MIME database"
fi

id "$user" >/dev/null 2>&1 || useradd -m "$user"
home="$(getent passwd "$user" | cut -d: -f6)"
[ -d "$home" ] || fail "$user has no home folder"
rm -rf "$home/.config/calyxor" "$home/work"
runuser -u "$user" -- mkdir -p "$home/work"

# Runs a command as the user with a clean environment: no settings path of root's leaks in.
as_user() {
    runuser -u "$user" -- env -i HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/bin:/bin \
        LANG=C.UTF-8 ${DISPLAY:+DISPLAY="$DISPLAY"} "$@"
}

# A private X server, which the user's program shows its window on.
start_xvfb

# ---- the first start: the default skin, no message box ----

(cd "$home/work" && as_user /usr/bin/calyxor) >"$tmp/app.log" 2>&1 &
app_pid=$!
win=""
find_window() {
    local w
    for w in $(xdotool search --onlyvisible --name '^Calyxor$' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w" | grep -E '^(WIDTH|HEIGHT)=')"
        if [ "$WIDTH" -eq 300 ] && [ "$HEIGHT" -eq 165 ]; then
            win=$w
            return 0
        fi
    done
    return 1
}
wait_for 60 "the main window at the default skin's size" find_window
sleep 0.5 # a message box would come with the window: give it the time it would take
shot "started"
[ "$(xdotool search --onlyvisible --name '.' 2>/dev/null | wc -l)" -eq 1 ] ||
    fail "another window than the main one is open (a message box?)"
xprop -id "$win" _NET_WM_ICON | grep -q '_NET_WM_ICON(CARDINAL) = ' || fail "the window has no icon"

# Two strips of the window that no control covers, against the installed background.
eval "$(xdotool getwindowgeometry --shell "$win" | grep -E '^(X|Y)=')"
back=/usr/share/calyxor/Skins/default/back.jpg
for strip in 300x14+0+57 80x26+2+2; do
    import -window root -crop "${strip%%+*}+$((X + $(cut -d+ -f2 <<<"$strip")))+$((Y + $(cut -d+ -f3 <<<"$strip")))" \
        +repage "$tmp/shown.png"
    convert "$back" -crop "$strip" +repage "$tmp/expected.png"
    differing="$(compare -metric AE -fuzz 4% "$tmp/expected.png" "$tmp/shown.png" null: 2>&1 || true)"
    [ "$differing" = 0 ] || fail "the window's background differs from the default skin in $differing pixels ($strip)"
done

# ---- the close writes the user's settings ----

[ ! -e "$home/.config/calyxor" ] || fail "settings were written before the close"
eval "$(xdotool getwindowgeometry --shell "$win" | grep -E '^(X|Y)=')"
xdotool mousemove $((X + 272)) $((Y + 16)) # BtnClose
sleep 0.3
xdotool click 1
app_gone() { ! kill -0 "$app_pid" 2>/dev/null; }
wait_for 60 "the program to end after its close button" app_gone
wait "$app_pid" || fail "calyxor exited with status $?"
app_pid=""
ini="$home/.config/calyxor/calyxor.ini"
[ -f "$ini" ] || fail "the close did not write $ini"
[ "$(stat -c %U "$ini")" = "$user" ] || fail "$ini does not belong to $user"
expected_ini=$'[Config]\r\nSkin=/usr/share/calyxor/Skins/default/skin.ini\r\nSFX=/usr/share/calyxor/SFX/default.sfx\r'
[ "$(cat "$ini")" = "$expected_ini" ] || fail "$ini holds: $(cat -A "$ini")"

# ---- encrypt and decrypt with the installed program ----

head -c 200000 /dev/urandom >"$tmp/original.bin"
install -o "$user" -m 600 "$tmp/original.bin" "$home/work/data.bin"
(cd "$home/work" && as_user env -u DISPLAY /usr/bin/calyxor ENC 'Ключ-42' data.bin data.bin.ash) \
    >>"$tmp/app.log" 2>&1 || fail "encryption failed"
(cd "$home/work" && as_user env -u DISPLAY /usr/bin/calyxor DEC 'Ключ-42' data.bin.ash back.bin) \
    >>"$tmp/app.log" 2>&1 || fail "decryption failed"
cmp -s "$home/work/data.bin" "$home/work/data.bin.ash" && fail "the encrypted file holds the plain bytes"
cmp "$tmp/original.bin" "$home/work/back.bin" || fail "decryption did not give the file back"

# ---- removed ----

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq calyxor >>"$tmp/apt.log" 2>&1 ||
    fail "apt-get could not remove the package"
installed=""
[ ! -e /usr/bin/calyxor ] || fail "/usr/bin/calyxor is still there after the removal"
[ ! -e /usr/share/calyxor ] || fail "/usr/share/calyxor is still there after the removal"
rm -rf "$home/work"
echo "package-test: passed"
