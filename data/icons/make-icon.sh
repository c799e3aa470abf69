#!/bin/bash
# SPDX-License-Identifier: MIT
# Draws Calyxor's icon: a brass padlock whose body carries the calyx of the program's mark,
# three petals cupping a seed. Writes the SVG and the PNG sizes of the hicolor theme next to
# itself; the outputs are committed, so building needs none of the tools.
#
#   data/icons/make-icon.sh        (from anywhere)
#
# Needs rsvg-convert (librsvg2-bin). A re-run rewrites the same bytes.
set -euo pipefail

cd "$(dirname "$0")"
command -v rsvg-convert >/dev/null || { echo "make-icon.sh: rsvg-convert is missing" >&2; exit 1; }

ID=io.github.calyxor.Calyxor
SIZES=(16 22 24 32 48 64 128 256)

# One petal, pointing up from its base at the origin; rotated copies make the calyx.
petal='M 0,0 C -19,-16 -19,-46 0,-66 C 19,-46 19,-16 0,0 Z'

mkdir -p hicolor/scalable/apps
cat >"hicolor/scalable/apps/$ID.svg" <<SVG
<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <title>Calyxor</title>
  <defs>
    <linearGradient id="steel" x1="0" y1="0" x2="1" y2="0">
      <stop offset="0" stop-color="#5f7178"/>
      <stop offset="0.45" stop-color="#dfe7ea"/>
      <stop offset="1" stop-color="#6e8088"/>
    </linearGradient>
    <linearGradient id="brass" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#f6d07c"/>
      <stop offset="1" stop-color="#c7862a"/>
    </linearGradient>
    <linearGradient id="teal" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#2a5d66"/>
      <stop offset="1" stop-color="#0f2a2f"/>
    </linearGradient>
  </defs>
  <!-- the shackle: its legs end inside the body -->
  <path d="M 78,124 V 86 A 50,50 0 0 1 178,86 V 124" fill="none" stroke="#3b474c"
        stroke-width="30" stroke-linecap="butt"/>
  <path d="M 78,124 V 86 A 50,50 0 0 1 178,86 V 124" fill="none" stroke="url(#steel)"
        stroke-width="22" stroke-linecap="butt"/>
  <!-- the body -->
  <rect x="34" y="110" width="188" height="134" rx="30" fill="url(#brass)" stroke="#6b4510"
        stroke-width="6"/>
  <rect x="46" y="121" width="164" height="8" rx="4" fill="#fbe6b4" opacity="0.6"/>
  <!-- the calyx: three petals rising from one point, cupping a seed -->
  <g transform="translate(128,226)" fill="url(#teal)" stroke="#0b1f23" stroke-width="3"
     stroke-linejoin="round">
    <path transform="rotate(-40)" d="$petal"/>
    <path transform="rotate(40)" d="$petal"/>
    <path d="$petal"/>
  </g>
  <circle cx="128" cy="150" r="11" fill="#fbe6b4" stroke="#0b1f23" stroke-width="3"/>
</svg>
SVG

for n in "${SIZES[@]}"; do
    mkdir -p "hicolor/${n}x${n}/apps"
    rsvg-convert -w "$n" -h "$n" -o "hicolor/${n}x${n}/apps/$ID.png" "hicolor/scalable/apps/$ID.svg"
done
