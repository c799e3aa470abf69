#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The shell completions of data/completion/, run for real in bash and fish (zsh: parsed): decrypt
# offers encrypted and self-extracting files first, and every file when there is none; the
# window's completion knows its options and completes files.
#
#   completion-test.sh SOURCE_DIR
set -euo pipefail

completion="$(cd "${1:?source folder}" && pwd)/data/completion"
tmp="$(mktemp -d "${TMPDIR:-/tmp}/calyxor-completion-XXXXXX")"
trap 'rm -rf "$tmp"' EXIT
fail() {
    echo "completion-test: $*" >&2
    exit 1
}
mkdir -p "$tmp/both/sub" "$tmp/plain"
touch "$tmp/both/report.doc.ash" "$tmp/both/photo.jpg.exe" "$tmp/both/notes.txt" "$tmp/plain/notes.txt"

# bash: the words typed so far, the last one being completed; prints the offers, sorted.
bash_offers() {
    local dir="$1" script="$2" func="$3"
    shift 3
    (
        cd "$dir"
        # compopt works only inside a completion bash itself runs.
        compopt() { :; }
        # shellcheck source=/dev/null
        source "$completion/$script"
        COMP_WORDS=("$@")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMPREPLY=()
        "$func"
        printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
    )
}
expect() { # expect WHAT ACTUAL EXPECTED
    [ "$2" = "$3" ] || fail "$1: offered '$2', expected '$3'"
}

expect "bash, decrypt" "$(bash_offers "$tmp/both" calyxor-cli _calyxor_cli calyxor-cli decrypt '')" \
    "photo.jpg.exe report.doc.ash sub "
expect "bash, decrypt without encrypted files" \
    "$(bash_offers "$tmp/plain" calyxor-cli _calyxor_cli calyxor-cli decrypt '')" "notes.txt "
expect "bash, encrypt" "$(bash_offers "$tmp/both" calyxor-cli _calyxor_cli calyxor-cli encrypt '')" \
    "notes.txt photo.jpg.exe report.doc.ash sub "
offers="$(bash_offers "$tmp/both" calyxor-cli _calyxor_cli calyxor-cli decrypt --no)"
expect "bash, decrypt's options" "$offers" "--no-key-check "
expect "bash, commands" "$(bash_offers "$tmp/both" calyxor-cli _calyxor_cli calyxor-cli '')" \
    "decrypt encrypt genkey wipe "
expect "bash, calyxor's options" "$(bash_offers "$tmp/both" calyxor _calyxor calyxor --)" \
    "--help --open --version "
expect "bash, calyxor's file" "$(bash_offers "$tmp/both" calyxor _calyxor calyxor --open n)" "notes.txt "

if command -v fish >/dev/null; then
    fish_offers() { # fish_offers DIR SCRIPT LINE: the offers in fish's order
        (cd "$1" && fish --no-config -c "source $completion/$2; complete -C '$3'" | cut -f1 | tr '\n' ' ')
    }
    offers="$(fish_offers "$tmp/both" calyxor-cli.fish 'calyxor-cli decrypt ')"
    case "$offers" in
    *notes.txt*report.doc.ash* | *notes.txt*photo.jpg.exe*) fail "fish, decrypt: a plain file before the encrypted ones: $offers" ;;
    *report.doc.ash*photo.jpg.exe* | *photo.jpg.exe*report.doc.ash*) ;;
    *) fail "fish, decrypt: offered '$offers'" ;;
    esac
    expect "fish, decrypt without encrypted files" \
        "$(fish_offers "$tmp/plain" calyxor-cli.fish 'calyxor-cli decrypt ')" "notes.txt "
    expect "fish, commands" "$(fish_offers "$tmp/both" calyxor-cli.fish 'calyxor-cli ')" \
        "decrypt encrypt genkey wipe "
    expect "fish, the folder option" \
        "$(fish_offers "$tmp/both" calyxor-cli.fish 'calyxor-cli wipe --rec')" "--recursive "
    offers="$(fish_offers "$tmp/both" calyxor-cli.fish 'calyxor-cli decrypt --no')"
    expect "fish, decrypt's options" "$offers" "--no-key-check "
    offers="$(fish_offers "$tmp/both" calyxor.fish 'calyxor --')"
    [[ "$offers" == *--open* ]] || fail "fish, calyxor's options: offered '$offers'"
else
    echo "completion-test: fish is not installed; its completion is not run" >&2
fi

if command -v zsh >/dev/null; then
    for f in _calyxor-cli _calyxor; do
        zsh -n "$completion/$f" || fail "zsh cannot read $f"
        head -n1 "$completion/$f" | grep -q "^#compdef ${f#_}\$" || fail "$f does not say what it completes"
    done
fi
echo "completion-test: passed"
