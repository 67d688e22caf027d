#!/usr/bin/env bash
# Draws the main window's picture (a reservoir behind a concrete dam, between
# hills, 700 x 497; the box shows its top-left corner, so the dam stands there) and the About box's 32 x 32 icon with ImageMagick. The
# results are committed; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")"

convert -size 700x497 gradient:'#8ec5ef-#e6f3fb' \
  -fill '#f7d46b' -draw "circle 290,50 290,72" \
  -fill '#ffffff' -draw "circle 60,48 60,60" -draw "circle 76,44 76,60" -draw "circle 92,50 92,62" \
  -fill '#6f9a5a' -draw "polygon 0,150 60,105 120,140 200,90 280,135 360,95 460,150 560,110 700,150 700,497 0,497" \
  -fill '#4f7d3e' -draw "polygon 0,185 80,150 150,175 230,145 320,180 420,160 560,190 700,175 700,497 0,497" \
  -fill '#3f7fb8' -draw "polygon 0,205 70,190 160,186 188,188 188,262 0,268" \
  -fill '#5c9bd1' -draw "polygon 14,204 80,194 150,192 176,196 120,200 50,206" \
  -fill '#2f6a9f' -draw "polygon 0,232 188,226 188,262 0,268" \
  -fill '#b8b4aa' -draw "polygon 184,176 208,176 252,300 176,300" \
  -fill '#9c978c' -draw "polygon 208,176 216,176 260,300 252,300" \
  -fill '#d9d5cb' -draw "rectangle 178,170 220,178" \
  -fill '#7b766c' -draw "rectangle 196,190 204,292" \
  -fill '#e8f2fa' -draw "polygon 196,292 204,292 226,318 188,318" \
  -fill '#8a7a55' -draw "polygon 0,268 188,262 176,300 120,330 0,336" \
  -fill '#5d8a4a' -draw "polygon 0,336 120,330 176,300 260,300 700,280 700,497 0,497" \
  -fill '#4a90c8' -draw "polygon 196,318 232,318 330,400 470,440 700,452 700,480 450,470 300,430" \
  -fill '#6b8f4f' -draw "polygon 0,380 90,360 180,400 230,497 0,497" \
  -fill '#c9b99a' -draw "rectangle 520,300 560,330" -fill '#a0522d' -draw "polygon 514,300 540,284 566,300" \
  -type TrueColor -quality 90 -sampling-factor 2x2 reservoir.jpg

convert -size 32x32 xc:none \
  -fill '#3f7fb8' -draw "polygon 2,14 18,14 18,30 2,30" \
  -fill '#b8b4aa' -draw "polygon 18,6 24,6 30,30 18,30" \
  -fill '#6f9a5a' -draw "polygon 2,14 8,6 14,12 18,6 18,14" \
  -fill '#ffffff' -draw "line 4,20 14,20" -draw "line 4,25 14,25" \
  -define png:color-type=6 about_icon.png
