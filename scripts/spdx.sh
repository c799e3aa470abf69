#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every source, header, CMake file, script and build file of the project names its licence in
# one line at its head, "SPDX-License-Identifier: MIT" in the file's own comment form.
#
#   scripts/spdx.sh [ROOT]           adds the line to each file that lacks it
#   scripts/spdx.sh --check [ROOT]   lists each file that lacks it and fails if there is one
#
# ROOT is the project's folder (default: the one this script is in). In a git work tree the
# files are the tracked ones and the new ones git does not ignore, so that a file another
# branch adds is caught before it is committed; elsewhere every file under ROOT but the build
# folders. The line goes first, or second after a "#!" or "<?xml" line.
set -euo pipefail

check=0
if [ "${1:-}" = --check ]; then
    check=1
    shift
fi
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)
cd "$root"

line='SPDX-License-Identifier: MIT'

# Which files carry the line, and in which comment form: "//", "#" or "<!--".
comment_of() {
    case "$1" in
    *.cpp | *.h | *.c | *.rc) echo '//' ;;
    CMakeLists.txt | */CMakeLists.txt | *.cmake | *.sh | *.supp | .clang-format) echo '#' ;;
    data/completion/*) echo '#' ;;
    *.manifest) echo '<!--' ;;
    *) echo '' ;;
    esac
}

list_files() {
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files --cached --others --exclude-standard
    else
        find . -path './build*' -prune -o -path ./.git -prune -o -type f -print | sed 's|^\./||'
    fi
}

# The line counts when it stands in one of the first three lines.
has_line() {
    head -n 3 -- "$1" | grep -q "$line"
}

add_line() {
    local file=$1 marker=$2 text tmp
    case "$marker" in
    '<!--') text="<!-- $line -->" ;;
    *) text="$marker $line" ;;
    esac
    tmp=$(mktemp "$file.spdx.XXXXXX")
    if head -n 1 -- "$file" | grep -q -E '^(#!|<\?xml)'; then
        { head -n 1 -- "$file"; printf '%s\n' "$text"; tail -n +2 -- "$file"; } >"$tmp"
    else
        { printf '%s\n' "$text"; cat -- "$file"; } >"$tmp"
    fi
    chmod --reference="$file" "$tmp"
    mv -- "$tmp" "$file"
}

missing=()
while IFS= read -r file; do
    [ -f "$file" ] || continue # listed by git but deleted in the work tree
    marker=$(comment_of "$file")
    [ -n "$marker" ] || continue
    has_line "$file" && continue
    if [ "$check" -eq 1 ]; then
        missing+=("$file")
    else
        add_line "$file" "$marker"
        echo "added: $file"
    fi
done < <(list_files | LC_ALL=C sort)

if [ ${#missing[@]} -gt 0 ]; then
    echo "These project files lack the line '$line' in their first three lines:" >&2
    printf '  %s\n' "${missing[@]}" >&2
    echo "Run scripts/spdx.sh to add it." >&2
    exit 1
fi
