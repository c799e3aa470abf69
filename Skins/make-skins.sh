#!/bin/bash
# SPDX-License-Identifier: MIT
# Regenerates every picture and skin.ini of the skins that ship with Calyxor.
#
#   Skins/make-skins.sh        (from anywhere; writes next to itself)
#
# Needs ImageMagick 6 (convert) and fonts-dejavu-core. The output depends on
# nothing but this script, the fonts and ImageMagick's version, so a re-run rewrites the same
# bytes and git shows no change.
#
# Every button picture is cut from the skin's own background at the button's place before the
# button is drawn on it, so the rounded corners blend into whatever lies behind them. For that
# reason the control geometry lives here only, and skin.ini is written from the same numbers.
set -euo pipefail

cd "$(dirname "$0")"
command -v convert >/dev/null || { echo "make-skins.sh: ImageMagick's convert is missing" >&2; exit 1; }

DEJAVU=/usr/share/fonts/truetype/dejavu
SANS_BOLD=$DEJAVU/DejaVuSans-Bold.ttf
SANS_COND_BOLD=$DEJAVU/DejaVuSansCondensed-Bold.ttf
for f in "$SANS_BOLD" "$SANS_COND_BOLD"; do
    [ -r "$f" ] || { echo "make-skins.sh: font $f is missing" >&2; exit 1; }
done

# One thread: ImageMagick splits noise and resampling among threads, and the split follows
# the number of cores, which would make the bytes differ from machine to machine.
export MAGICK_THREAD_LIMIT=1

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

# -strip keeps dates and profiles out of the files; BMP3 is the plain 24-bit Windows bitmap
# every reader takes, and TrueColor stops ImageMagick from choosing a palette for a flat picture.
BMP_OUT=(-strip -alpha off -type TrueColor)
# 4:4:4 keeps the thin coloured frame lines of the background from bleeding; quality 95 keeps
# the flat areas under the check boxes within one step of the colour the skin gives them.
JPEG_OUT=(-strip -sampling-factor 1x1 -quality 95)

# "#RRGGBB" -> "$00BBGGRR", the colour form skin files use.
skin_colour() {
    local h=${1#\#}
    h=${h^^}
    printf '$00%s%s%s' "${h:4:2}" "${h:2:2}" "${h:0:2}"
}

# ---------------------------------------------------------------------------------------------
# Glyphs. Each is drawn four times too large on a 68 x 68 canvas and box-filtered down to
# 17 x 17, which gives clean anti-aliased strokes of 1.5 to 2 pixels at a button's height.
# glyph NAME INK HOLE OUT - INK draws the glyph, HOLE the keyhole of the padlocks.
glyph() {
    local name=$1 ink=$2 hole=$3 out=$4 mvg
    local pen="stroke '$ink' stroke-linecap round stroke-linejoin round fill none"
    case $name in
    close)
        mvg="$pen stroke-width 7 line 21,21 47,47 line 47,21 21,47" ;;
    minimize)
        mvg="$pen stroke-width 7 line 20,47 48,47" ;;
    eye)
        # almond outline with a filled iris; a catch-light would be under a pixel at this size
        mvg="$pen stroke-width 5 path 'M 8,34 Q 34,8 60,34 Q 34,60 8,34 Z'
             stroke none fill '$ink' circle 34,34 34,43" ;;
    open)
        # open folder: back with its tab, front flap tilted towards the viewer
        mvg="$pen stroke-width 5 path 'M 12,50 L 12,16 L 26,16 L 31,22 L 50,22 L 50,29'
             fill '$ink' path 'M 12,50 L 20,30 L 59,30 L 51,50 Z'" ;;
    crypt)
        # closed padlock: both legs of the shackle sit in the body
        mvg="$pen stroke-width 6 path 'M 24,32 L 24,23 A 10,10 0 0 1 44,23 L 44,32'
             stroke none fill '$ink' roundrectangle 15,30 53,58 5,5
             fill '$hole' circle 34,41 34,45 rectangle 32,42 36,51" ;;
    decrypt)
        # open padlock: the shackle is lifted and its left leg swings free
        mvg="$pen stroke-width 6 path 'M 44,32 L 44,16 A 10,10 0 0 0 24,16 L 24,19'
             stroke none fill '$ink' roundrectangle 15,30 53,58 5,5
             fill '$hole' circle 34,41 34,45 rectangle 32,42 36,51" ;;
    kill)
        # waste bin: lid with a handle, tapered body with two ribs
        mvg="$pen stroke-width 5 line 14,17 54,17 path 'M 27,16 L 27,10 L 41,10 L 41,16'
             path 'M 18,22 L 22,58 L 46,58 L 50,22'
             stroke-width 4 line 29,29 30,50 line 39,29 38,50" ;;
    *) echo "make-skins.sh: no glyph $name" >&2; exit 1 ;;
    esac
    convert -size 68x68 xc:none -draw "$mvg" -filter Box -resize 17x17 "PNG32:$out"
}

# symbol NAME INK OUT - the small pictures that name a field of the window without words, so
# that one skin serves every language: drawn four times too large and box-filtered down like
# the glyphs. "key" (32 x 16) stands before the key box, "file" (13 x 16) before the file name.
symbol() {
    local name=$1 ink=$2 out=$3 mvg size
    local pen="stroke '$ink' stroke-linecap round stroke-linejoin round fill none"
    case $name in
    key)
        # a ring bow, a long shaft and two bits
        size=128x64
        mvg="$pen stroke-width 7 circle 22,32 22,46 line 37,32 118,32
             line 106,32 106,51 line 92,32 92,46" ;;
    file)
        # a page with its corner folded over and three lines of text
        size=52x64
        mvg="$pen stroke-width 5 path 'M 6,4 L 32,4 L 46,18 L 46,60 L 6,60 Z'
             path 'M 32,4 L 32,18 L 46,18' stroke-width 4 line 14,31 38,31 line 14,41 38,41
             line 14,51 30,51" ;;
    *) echo "make-skins.sh: no symbol $name" >&2; exit 1 ;;
    esac
    local w=${size%x*} h=${size#*x}
    convert -size "$size" xc:none -draw "$mvg" -filter Box -resize "$((w / 4))x$((h / 4))" "PNG32:$out"
}

# button BACKGROUND X Y W H STATE GLYPH OUT FORMAT STYLE...
# Cuts the button's place out of BACKGROUND and draws a rounded button with the glyph on it.
# STATE "up" or "down"; a pressed button is darker, lit from below, shaded along its top edge,
# and its glyph sits one pixel lower and to the right, as if pushed into the window.
# STYLE: radius face_top face_bottom border edge ink hole, the colours for this state; EDGE is
# the line under the top border, a highlight when released and a shadow when pressed.
button() {
    local bg=$1 x=$2 y=$3 w=$4 h=$5 state=$6 name=$7 out=$8 format=$9
    local radius=${10} top=${11} bottom=${12} border=${13} edge=${14} ink=${15} hole=${16}
    local gx=$(((w - 17) / 2)) gy=0 extra=()
    if [ "$state" = down ]; then
        gx=$((gx + 1)); gy=1
        # the inset shadow: two dark lines under the top border, the second at half strength
        extra=(-stroke "$edge" -draw "line $radius,1 $((w - 1 - radius)),1"
               -stroke "${edge}80" -draw "line 2,2 $((w - 3)),2")
    else
        extra=(-stroke "$edge" -draw "line $radius,1 $((w - 1 - radius)),1")
    fi
    glyph "$name" "$ink" "$hole" "$TMP/glyph.png"
    convert -respect-parentheses "$bg" -crop "${w}x${h}+${x}+${y}" +repage \
        \( -size "${w}x${h}" "gradient:$top-$bottom" \) \
        \( -size "${w}x${h}" xc:black -fill white -stroke white \
           -draw "roundrectangle 0,0 $((w - 1)),$((h - 1)) $radius,$radius" \) \
        -composite \
        "${extra[@]}" \
        -fill none -stroke "$border" -strokewidth 1 \
        -draw "roundrectangle 0.5,0.5 $((w - 1)).5,$((h - 1)).5 $radius,$radius" +stroke \
        "$TMP/glyph.png" -geometry "+$gx+$gy" -composite \
        "$TMP/button.png"
    case $format in
    bmp) convert "$TMP/button.png" "${BMP_OUT[@]}" "BMP3:$out" ;;
    # opaque 32-bit icon: a transparent pixel would let the button's own fill colour through
    ico) convert "$TMP/button.png" -strip -alpha on -channel A -evaluate set 100% +channel \
             "ICO:$out" ;;
    esac
}

# sunken X1 Y1 X2 Y2 FILL DARK LIGHT - draw arguments, one a line, for a sunken field: dark
# upper-left edge, light lower-right edge. The callers leave a pixel or two of field around the
# control, whose own background has the field's colour, so its text never touches the edge.
sunken() {
    local x1=$1 y1=$2 x2=$3 y2=$4 fill=$5 dark=$6 light=$7
    printf '%s\n' -fill "$fill" -stroke none -draw "rectangle $x1,$y1 $x2,$y2" \
        -stroke "$dark" -draw "line $x1,$y1 $x2,$y1" -draw "line $x1,$y1 $x1,$y2" \
        -stroke "$light" -draw "line $x1,$y2 $x2,$y2" -draw "line $x2,$y1 $x2,$y2" +stroke
}

# calyx X Y SCALE - MVG for the program's mark: three pointed petals rising from one base
# point (X, Y), the side ones leaning out by 38 degrees, petals 26 units tall before SCALE.
calyx() {
    local x=$1 y=$2 k=$3 a
    local petal="path 'M 0,0 Q -9,-13 0,-26 Q 9,-13 0,0 Z'"
    printf 'push graphic-context translate %s,%s scale %s,%s ' "$x" "$y" "$k" "$k"
    for a in -38 38 0; do
        printf 'push graphic-context rotate %s %s pop graphic-context ' "$a" "$petal"
    done
    printf 'pop graphic-context'
}

# ini FILE - writes standard input as FILE with CR LF line ends (the skin reader needs CR).
ini() {
    sed 's/$/\r/' >"$1"
}

# ---------------------------------------------------------------------------------------------
# Skin "default": deep teal night with brass accents, the window's own 300 x 165 layout.
make_default() {
    local dir=default
    mkdir -p "$dir"
    local bg_top='#1d363b' bg_bottom='#0c1a1d' tray='#0a1619'
    local panel='#15272b' panel_line='#24403f'
    local field='#081114' dark='#03080a' light='#3b5d62'
    # The gauge prints its percentage as the inverse of what lies under it, so the bar wants a
    # colour far from mid-grey: this pale brass turns the text deep blue, the dark field white.
    local bar='#f0c070'
    local text='#d6e6e3' caption='#9fbab6' brass='#e2a84a'
    local -a f

    # The filename line is narrowed to 122 so that it ends before BtnMinimize (216), which would
    # otherwise hide the end of long names; it is taller than 9 so that descenders are not cut.
    local label=(88 10 122 13) key=(64 32 193 21)
    # The Cyrillic SFX caption needs about 175 pixels at 7 points plus the box, so the check
    # boxes are widened from 161 to 192; the gauge still has 8 pixels of air to their right.
    local kill=(16 80 192 17) sfx=(16 104 192 17) gauge=(216 112 65 17)

    mapfile -t f < <(
        sunken $((label[0] - 2)) $((label[1] - 1)) $((label[0] + label[2] + 1)) $((label[1] + label[3])) "$field" "$dark" "$light"
        sunken $((key[0] - 2)) $((key[1] - 2)) $((key[0] + key[2] + 1)) $((key[1] + key[3] + 1)) "$field" "$dark" "$light"
        sunken $((gauge[0] - 2)) $((gauge[1] - 2)) $((gauge[0] + gauge[2] + 1)) $((gauge[1] + gauge[3] + 1)) "$field" "$dark" "$light"
    )
    symbol key "$caption" "$TMP/key.png"

    convert -respect-parentheses -size 300x165 "gradient:$bg_top-$bg_bottom" \
        `# a soft brass glow behind the title, the one warm spot of the window` \
        \( -size 260x110 'radial-gradient:#e2a84a30-#e2a84a00' \) -geometry -80-45 -composite \
        `# the tray under the bottom row of buttons` \
        -fill "$tray" -draw "rectangle 0,131 299,164" \
        -stroke "$dark" -draw "line 0,130 299,130" -stroke "$panel_line" -draw "line 0,131 299,131" +stroke \
        `# the calm panel the check boxes draw their captions on: one flat colour` \
        -fill "$panel" -stroke "$panel_line" -draw "roundrectangle 8,73 210,127 4,4" +stroke \
        "${f[@]}" \
        `# title and a small calyx: three petals cupping a seed` \
        -fill "$brass" -stroke none -draw "$(calyx 14 21 0.45)" \
        -fill "$text" -font "$SANS_COND_BOLD" -pointsize 14 -annotate +25+20 'Calyxor' \
        `# the key before the key box; the gauge speaks for itself` \
        "$TMP/key.png" -geometry +24+35 -composite \
        `# a faint outline of the calyx, the window's watermark` \
        -fill none -stroke '#284448' -strokewidth 1.5 -draw "$(calyx 250 94 1.3)" +stroke \
        `# a hairline rim, since the window has no frame of its own` \
        -fill none -stroke "$light" -draw "rectangle 0,0 299,164" +stroke \
        "$TMP/default-back.png"
    convert "$TMP/default-back.png" "${JPEG_OUT[@]}" "$dir/back.jpg"

    # radius top bottom border highlight ink hole
    local up=(4 '#3a6169' '#1f3a40' '#050b0d' '#67969c' '#eef6f4' '#1f3a40')
    local down=(4 '#0e1d20' '#1a3237' '#050b0d' '#020506' "$brass" '#0e1d20')
    local closedown=(4 '#0e1d20' '#1a3237' '#050b0d' '#020506' '#f07a64' '#0e1d20')
    local -A place=([close]="256 8 33 17" [minimize]="216 8 33 17" [see]="264 32 35 17"
        [open]="192 136 35 17" [crypt]="8 136 35 17" [decrypt]="72 136 35 17"
        [kill]="128 136 35 17")
    local -A glyphname=([close]=close [minimize]=minimize [see]=eye [open]=open [crypt]=crypt
        [decrypt]=decrypt [kill]=kill)
    local b
    for b in close minimize see open crypt decrypt kill; do
        # shellcheck disable=SC2086
        button "$TMP/default-back.png" ${place[$b]} up "${glyphname[$b]}" "$dir/${b}-up.bmp" bmp "${up[@]}"
        if [ "$b" = close ]; then
            button "$TMP/default-back.png" ${place[$b]} down close "$dir/${b}-down.bmp" bmp "${closedown[@]}"
        else
            button "$TMP/default-back.png" ${place[$b]} down "${glyphname[$b]}" "$dir/${b}-down.bmp" bmp "${down[@]}"
        fi
    done

    ini "$dir/skin.ini" <<EOF
<CALYXOR SKIN FILE>
[MAINFORM]
BACKGROUND=back.jpg
[LABELFILENAME]
LEFT=${label[0]}
TOP=${label[1]}
WIDTH=${label[2]}
HEIGHT=${label[3]}
COLOR=$(skin_colour "$text")
FONTSIZE=7
[KEYBOX]
LEFT=${key[0]}
TOP=${key[1]}
WIDTH=${key[2]}
HEIGHT=${key[3]}
COLOR=$(skin_colour "$brass")
BACKCOLOR=$(skin_colour "$field")
FONTSIZE=10
[CHECKBOXKILL]
LEFT=${kill[0]}
TOP=${kill[1]}
WIDTH=${kill[2]}
HEIGHT=${kill[3]}
COLOR=$(skin_colour "$text")
BACKCOLOR=$(skin_colour "$panel")
FONTSIZE=7
[CHECKBOXSFX]
LEFT=${sfx[0]}
TOP=${sfx[1]}
WIDTH=${sfx[2]}
HEIGHT=${sfx[3]}
COLOR=$(skin_colour "$text")
BACKCOLOR=$(skin_colour "$panel")
FONTSIZE=7
[PROGRESSBAR]
LEFT=${gauge[0]}
TOP=${gauge[1]}
WIDTH=${gauge[2]}
HEIGHT=${gauge[3]}
COLOR=$(skin_colour "$bar")
BACKCOLOR=$(skin_colour "$field")
FONTSIZE=7
$(for b in close minimize see open crypt decrypt kill; do
    read -r x y _ <<<"${place[$b]}"
    echo "[BTN${b^^}]"
    echo "LEFT=$x"
    echo "TOP=$y"
    echo "PICTUREUP=${b}-up.bmp"
    echo "PICTUREDOWN=${b}-down.bmp"
done)
EOF
}

# ---------------------------------------------------------------------------------------------
# Skin "graphite": brushed aluminium with a graphite tray and an orange accent, on a slightly
# larger 320 x 180 window so that the filename line gets a row of its own. The background is
# an uncompressed BMP, so the flat areas keep exactly the colours skin.ini gives the controls.
# The close button's pictures are icons, the rest bitmaps.
make_graphite() {
    local dir=graphite
    mkdir -p "$dir"
    local metal_top='#e4e7ea' metal_bottom='#c2c6cc' panel='#d6d9dd' panel_line='#aeb3ba'
    local field='#fbfbfc' dark='#7b828b' light='#f4f5f7' tray='#32363c' tray_line='#1f2226'
    local ink='#262a2f' caption='#4c535b' orange='#e8692a' key_ink='#b8501c'
    # light orange for the gauge's bar: its inverse, the percentage text, is then a dark blue
    local bar='#ffad66'
    local -a f

    local label=(62 41 246 13) key=(62 62 200 21) gauge=(226 114 82 17)
    local kill=(16 99 192 17) sfx=(16 121 192 17)
    local -A place=([minimize]="240 8 33 17" [close]="278 8 33 17" [see]="273 64 35 17"
        [open]="16 155 35 17" [crypt]="62 155 35 17" [decrypt]="108 155 35 17"
        [kill]="269 155 35 17")

    mapfile -t f < <(
        sunken $((label[0] - 2)) $((label[1] - 1)) $((label[0] + label[2] + 1)) $((label[1] + label[3])) "$field" "$dark" "$light"
        sunken $((key[0] - 2)) $((key[1] - 2)) $((key[0] + key[2] + 1)) $((key[1] + key[3] + 1)) "$field" "$dark" "$light"
        sunken $((gauge[0] - 2)) $((gauge[1] - 2)) $((gauge[0] + gauge[2] + 1)) $((gauge[1] + gauge[3] + 1)) "$field" "$dark" "$light"
    )

    symbol file "$caption" "$TMP/file.png"
    symbol key "$caption" "$TMP/key.png"

    # Brushed metal: seeded noise smeared sideways. The blur leaves the streaks at about 2%
    # around mid-grey; 4 g - 1.5 spreads them to 8% and keeps mid-grey, which overlay leaves
    # alone, so the light gradient moves by a few levels either way. The fixed seed makes the grain the same on
    # every run; the blur runs 20 pixels wider than the window so the streaks don't fade at its
    # edges.
    convert -seed 1907 -size 360x180 xc:gray50 +noise Gaussian -colorspace Gray \
        -motion-blur 0x24+0 -function Polynomial 4,-1.5 -crop 320x180+20+0 +repage "$TMP/grain.png"
    convert -size 320x180 "gradient:$metal_top-$metal_bottom" \
        "$TMP/grain.png" -compose overlay -composite -compose over \
        `# the orange rule under the title row` \
        -fill "$orange" -draw "rectangle 8,31 311,32" \
        `# the graphite tray of the action buttons, with its own orange edge` \
        -fill "$tray" -draw "rectangle 0,146 319,179" \
        -stroke "$tray_line" -draw "line 0,146 319,146" +stroke \
        -fill "$orange" -draw "rectangle 0,147 319,147" \
        `# the calm panel under the check boxes` \
        -fill "$panel" -stroke "$panel_line" -draw "rectangle 8,93 214,141" +stroke \
        "${f[@]}" \
        -fill "$orange" -stroke none -draw "$(calyx 17 24 0.55)" \
        -fill "$ink" -font "$SANS_BOLD" -pointsize 15 -annotate +31+22 'Calyxor' \
        `# a page before the file name, a key before the key box` \
        "$TMP/file.png" -geometry +41+40 -composite "$TMP/key.png" -geometry +22+65 -composite \
        `# a thin dark rim: the window has no frame of its own` \
        -fill none -stroke '#5d646c' -draw "rectangle 0,0 319,179" +stroke \
        "$TMP/graphite-back.png"
    convert "$TMP/graphite-back.png" "${BMP_OUT[@]}" "BMP3:$dir/back.bmp"

    # radius top bottom border highlight ink hole
    local up=(3 '#fbfcfd' '#c9cdd3' '#5b626b' '#ffffff' "$ink" '#e1e4e8')
    local down=(3 '#a7adb5' '#c3c8ce' '#4a5058' '#8d939b' "$orange" '#b4b9c0')
    local closedown=(3 '#b3392a' '#d35440' '#6a2218' '#92301f' '#ffffff' '#b3392a')
    local -A glyphname=([close]=close [minimize]=minimize [see]=eye [open]=open [crypt]=crypt
        [decrypt]=decrypt [kill]=kill)
    local -A ext=([close]=ico)
    local b e
    for b in close minimize see open crypt decrypt kill; do
        e=${ext[$b]:-bmp}
        # shellcheck disable=SC2086
        button "$TMP/graphite-back.png" ${place[$b]} up "${glyphname[$b]}" "$dir/$b-up.$e" "$e" "${up[@]}"
        if [ "$b" = close ]; then
            # shellcheck disable=SC2086
            button "$TMP/graphite-back.png" ${place[$b]} down close "$dir/$b-down.$e" "$e" "${closedown[@]}"
        else
            # shellcheck disable=SC2086
            button "$TMP/graphite-back.png" ${place[$b]} down "${glyphname[$b]}" "$dir/$b-down.$e" "$e" "${down[@]}"
        fi
    done

    ini "$dir/skin.ini" <<EOF
<CALYXOR SKIN FILE>
[MAINFORM]
BACKGROUND=back.bmp
[LABELFILENAME]
LEFT=${label[0]}
TOP=${label[1]}
WIDTH=${label[2]}
HEIGHT=${label[3]}
COLOR=$(skin_colour "$ink")
FONTSIZE=7
[KEYBOX]
LEFT=${key[0]}
TOP=${key[1]}
WIDTH=${key[2]}
HEIGHT=${key[3]}
COLOR=$(skin_colour "$key_ink")
BACKCOLOR=$(skin_colour "$field")
FONTSIZE=10
[CHECKBOXKILL]
LEFT=${kill[0]}
TOP=${kill[1]}
WIDTH=${kill[2]}
HEIGHT=${kill[3]}
COLOR=$(skin_colour "$ink")
BACKCOLOR=$(skin_colour "$panel")
FONTSIZE=7
[CHECKBOXSFX]
LEFT=${sfx[0]}
TOP=${sfx[1]}
WIDTH=${sfx[2]}
HEIGHT=${sfx[3]}
COLOR=$(skin_colour "$ink")
BACKCOLOR=$(skin_colour "$panel")
FONTSIZE=7
[PROGRESSBAR]
LEFT=${gauge[0]}
TOP=${gauge[1]}
WIDTH=${gauge[2]}
HEIGHT=${gauge[3]}
COLOR=$(skin_colour "$bar")
BACKCOLOR=$(skin_colour "$field")
FONTSIZE=7
$(for b in close minimize see open crypt decrypt kill; do
    read -r x y _ <<<"${place[$b]}"
    e=${ext[$b]:-bmp}
    echo "[BTN${b^^}]"
    echo "LEFT=$x"
    echo "TOP=$y"
    echo "PICTUREUP=$b-up.$e"
    echo "PICTUREDOWN=$b-down.$e"
done)
EOF
}

# check_skin DIR - every picture skin.ini names must be there, with the size the skin places
# it at: background JPEG or BMP, buttons 33 x 17 (close, minimise) or 35 x 17, bitmaps of 24
# bits, icons of 32 with their one image. A slip here shows only as a misdrawn window later.
check_skin() {
    local dir=$1 line section="" key value want got bits
    while IFS= read -r line; do
        line=${line%$'\r'}
        case $line in \[*) section=$line; continue ;; *=*) ;; *) continue ;; esac
        key=${line%%=*} value=${line#*=}
        case $key in BACKGROUND | PICTUREUP | PICTUREDOWN) ;; *) continue ;; esac
        [ -f "$dir/$value" ] || { echo "make-skins.sh: $dir/$value is missing" >&2; exit 1; }
        case $section in
        \[MAINFORM\]) want="" ;;
        \[BTNCLOSE\] | \[BTNMINIMIZE\]) want=33x17 ;;
        *) want=35x17 ;;
        esac
        got=$(identify -format '%m %wx%h\n' "$dir/$value")
        [ "$(wc -l <<<"$got")" = 1 ] || { echo "make-skins.sh: $dir/$value holds several images" >&2; exit 1; }
        if [ -n "$want" ] && [ "${got#* }" != "$want" ]; then
            echo "make-skins.sh: $dir/$value is ${got#* }, its button is $want" >&2; exit 1
        fi
        case ${value##*.} in
        # biBitCount of the bitmap header, which follows the file header (14 bytes) in a BMP
        # and the icon directory (6 + 16 bytes) in an ICO
        bmp) bits=$(od -An -tu2 -j28 -N2 "$dir/$value" | tr -d ' ') want=24 ;;
        ico) bits=$(od -An -tu2 -j36 -N2 "$dir/$value" | tr -d ' ') want=32 ;;
        jpg) bits=24 want=24; [ "$dir" != default ] || [ "${got#* }" = 300x165 ] ||
                 { echo "make-skins.sh: $dir/$value is ${got#* }, not 300x165" >&2; exit 1; } ;;
        *) echo "make-skins.sh: $dir/$value has an unexpected kind" >&2; exit 1 ;;
        esac
        [ "$bits" = "$want" ] || { echo "make-skins.sh: $dir/$value has $bits bits a pixel" >&2; exit 1; }
    done <"$dir/skin.ini"
}

make_default
make_graphite
check_skin default
check_skin graphite
