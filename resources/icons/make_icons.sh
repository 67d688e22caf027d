#!/usr/bin/env bash
# Draws the program's desktop icon: a reservoir behind a concrete dam, the
# surveyors' water-level mark above its surface, in the colours of the main
# window's picture. Writes the scalable quelmora.svg and PNG renderings at the
# usual hicolor sizes with ImageMagick, both from the one list of shapes
# below. The results are committed; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")"

# Shapes in a 256 x 256 square; the rounded frame clips them.
mvg="" svg=""
poly()   { mvg+=" fill '$1' polygon $2";  svg+="    <polygon points=\"$2\" fill=\"$1\"/>"$'\n'; }
rect()   { mvg+=" fill '$1' rectangle $2,$3 $(($2 + $4)),$(($3 + $5))"
           svg+="    <rect x=\"$2\" y=\"$3\" width=\"$4\" height=\"$5\" fill=\"$1\"/>"$'\n'; }
circle() { mvg+=" fill '$1' circle $2,$3 $(($2 + $4)),$3"
           svg+="    <circle cx=\"$2\" cy=\"$3\" r=\"$4\" fill=\"$1\"/>"$'\n'; }
# A wave: a band 6 high and 72 long from (x, y), three half swells. Filled,
# not stroked: ImageMagick breaks up thick strokes along curves.
wave()   { local x=$2 y=$3 d
           d="M$x $y Q$((x + 12)) $((y - 8)) $((x + 24)) $y Q$((x + 36)) $((y + 8)) $((x + 48)) $y"
           d+=" Q$((x + 60)) $((y - 8)) $((x + 72)) $y L$((x + 72)) $((y + 6))"
           d+=" Q$((x + 60)) $((y - 2)) $((x + 48)) $((y + 6)) Q$((x + 36)) $((y + 14)) $((x + 24)) $((y + 6))"
           d+=" Q$((x + 12)) $((y - 2)) $x $((y + 6)) Z"
           mvg+=" fill '$1' path '$d'";  svg+="    <path d=\"$d\" fill=\"$1\"/>"$'\n'; }

SKY_TOP='#6fb2e6' SKY_BOTTOM='#e6f3fb' INK='#17406b'
circle '#f7d46b' 66 58 20                                                         # sun
poly   '#6f9a5a' "0,124 44,92 88,116 128,80 172,112 214,88 256,116 256,256 0,256" # far hills
poly   '#4f7d3e' "0,150 60,136 120,142 256,132 256,256 0,256"                     # near bank
rect   '#3f7fb8' 0 148 156 108                                                    # the reservoir
rect   '#2f6a9f' 0 196 156 60                                                     # its depth
wave   '#e8f2fa' 22 170
wave   '#e8f2fa' 58 216
poly   '#b8b4aa' "150,98 184,98 256,232 256,256 150,256"                          # the dam
poly   '#8f8a80' "184,98 194,98 256,214 256,232"                                  # its sunlit face
rect   '#d9d5cb' 142 88 54 12                                                     # the crest
poly   "$INK"    "84,120 116,120 100,146"                                         # level mark
rect   "$INK"    84 111 32 5

cat > quelmora.svg <<SVG
<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <title>Quelmora</title>
  <defs>
    <linearGradient id="sky" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="$SKY_TOP"/>
      <stop offset="1" stop-color="$SKY_BOTTOM"/>
    </linearGradient>
    <clipPath id="frame"><rect x="8" y="8" width="240" height="240" rx="44"/></clipPath>
  </defs>
  <g clip-path="url(#frame)">
    <rect width="256" height="256" fill="url(#sky)"/>
${svg}  </g>
  <rect x="10" y="10" width="236" height="236" rx="42" fill="none" stroke="$INK" stroke-opacity="0.55" stroke-width="4"/>
</svg>
SVG

# One big rendering, reduced to each size: ImageMagick's own SVG reader
# knows neither gradients nor clip paths, so the PNGs are drawn directly.
big=$(mktemp --suffix=.png)
trap 'rm -f "$big"' EXIT
convert -size 1024x1024 gradient:"$SKY_TOP-$SKY_BOTTOM" -draw "affine 4,0,0,4,0,0 $mvg" \
  \( -size 1024x1024 xc:none -fill white -draw "roundrectangle 32,32 991,991 176,176" \) \
  -compose DstIn -composite -compose Over \
  -fill none -stroke "$INK" -strokewidth 16 -draw "stroke-opacity 0.55 roundrectangle 40,40 983,983 168,168" \
  "$big"
for size in 16 24 32 48 64 128 256; do
  mkdir -p "${size}x${size}"
  convert "$big" -filter Lanczos -resize "${size}x${size}" \
    -depth 8 -define png:color-type=6 -strip "${size}x${size}/quelmora.png"
done
