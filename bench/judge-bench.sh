#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The wrong-key judgement over a corpus of real files: what Debian's packages on this machine
# ship (documents, pictures, sound, archives and compressed files, programs, libraries, fonts,
# databases, text) and files made here with the tools at hand (pictures in every format
# ImageMagick writes, archives, SQLite databases, and files of random content).
#
#   bench/judge-bench.sh BUILD_DIR        (BUILD_DIR holds judge_bench)
#
# PER_KIND (default 150) caps the files taken of each extension; SEED picks which.
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR}
bench=$(cd "$build" && pwd)/judge_bench
[[ -x $bench ]] || { echo "missing: $bench" >&2; exit 2; }
per_kind=${PER_KIND:-150}
seed=${SEED:-1}

work=$(mktemp -d "${TMPDIR:-/tmp}/calyxor-judge.XXXXXX")
trap 'rm -rf "$work"' EXIT
list=$work/files

pick() { # pick N: a fixed-seed sample of N lines of standard input
    shuf -n "$1" --random-source=<(yes "$seed") 2>/dev/null || true
}

# What the packages ship, by extension.
roots=(/usr /etc /opt /root)
for ext in pdf ps eps doc docx xls xlsx odt ods odp ppt pptx rtf epub \
           jpg jpeg png gif svg svgz tif tiff webp bmp ico xpm \
           mp3 ogg oga opus wav flac mp4 webm mkv \
           zip gz tgz xz bz2 zst lz4 7z rar jar whl deb rpm cab \
           so a o ko pyc class wasm \
           txt md rst html htm xml json yaml yml csv ini conf cfg c h cpp py sh pl rb js css \
           mo po ttf otf woff woff2 pfb \
           db sqlite sqlite3 mgc dat bin; do
    { find "${roots[@]}" -xdev -type f -iname "*.$ext" -size +0 -readable 2>/dev/null || true; } |
        { grep -v "^$work" || true; } | pick "$per_kind" >> "$list"
done
# Programs and files without an extension.
{ find /usr/bin /usr/sbin /usr/libexec -xdev -type f -size +0 -readable 2>/dev/null || true; } |
    pick 300 >> "$list"
{ find /usr/share/doc /usr/share/man /etc -xdev -type f -readable ! -name '*.*' 2>/dev/null ||
    true; } | pick 200 >> "$list"

# Made here.
made=$work/made
mkdir -p "$made"
mapfile -t icons < <({ find /usr/share/icons /usr/share/pixmaps /usr/share/doc -xdev -type f \
    -name '*.png' -size +2k 2>/dev/null || true; } | pick 40)
if command -v convert >/dev/null; then
    i=0
    for icon in "${icons[@]}"; do
        for fmt in jpg gif tiff webp pdf bmp; do
            convert "$icon" "$made/picture$i.$fmt" 2>/dev/null || true
        done
        i=$((i + 1))
    done
fi
python3 - "$made" <<'PY'
import os, random, sqlite3, sys, tarfile, zipfile, gzip, bz2, lzma
made = sys.argv[1]
rnd = random.Random(7)
docs = [os.path.join(r, f) for r, _, fs in os.walk('/usr/share/doc') for f in fs][:4000]
rnd.shuffle(docs)
for i in range(40):
    members = [d for d in docs[i * 5:(i + 1) * 5] if os.path.isfile(d)]
    with zipfile.ZipFile(f'{made}/archive{i}.zip', 'w', zipfile.ZIP_DEFLATED) as z:
        for m in members:
            z.write(m, os.path.basename(m))
    for mode, ext in (('w:gz', 'tar.gz'), ('w:bz2', 'tar.bz2'), ('w:xz', 'tar.xz'), ('w', 'tar')):
        with tarfile.open(f'{made}/archive{i}.{ext}', mode) as t:
            for m in members:
                t.add(m, os.path.basename(m))
    text = ' '.join(rnd.choice(['alpha', 'beta', 'gamma', 'delta', 'шифр', 'ключ']) for _ in range(rnd.randint(20, 20000)))
    open(f'{made}/notes{i}.txt', 'w').write(text)
    for opener, ext in ((gzip.open, 'gz'), (bz2.open, 'bz2'), (lzma.open, 'xz')):
        with opener(f'{made}/notes{i}.txt.{ext}', 'wt') as f:
            f.write(text)
    db = sqlite3.connect(f'{made}/table{i}.sqlite')
    db.execute('create table t (k integer primary key, v text)')
    db.executemany('insert into t (v) values (?)', [(text[j:j + 40],) for j in range(0, len(text), 40)])
    db.commit(); db.close()
# Random content of every size class: it is noise with the right key too, so these files
# measure how often a wrong key is noticed, and are counted apart as the files no judgement
# can tell from a wrong key.
os.makedirs(f'{made}/random-content', exist_ok=True)
for i, size in enumerate([64, 100, 256, 300, 1000, 4096, 5000, 65536, 100000, 1 << 20] * 5):
    open(f'{made}/random-content/random{i}.bin', 'wb').write(os.urandom(size))
PY
find "$made" -type f >> "$list"
sort -u "$list" -o "$list"
echo "corpus: $(wc -l < "$list") files"
if [[ -n ${SPREAD:-} ]]; then "$bench" --spread "$list" > "$SPREAD"; fi
"$bench" "$list"
