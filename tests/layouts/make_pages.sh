#!/usr/bin/env bash
# Makes one page in each layout a TIFF reader meets, with Debian's libtiff tools and
# ImageMagick, and libtiff's own decode of each (tiff2rgba) to compare the component with.
# Writes OUT/pages/NAME.tif (or .mdi, with the imaging software's "EP" header),
# OUT/references/NAME.tif and OUT/layouts.txt, one line a layout:
#   NAME PAGE REFERENCE CODING BITS
# CODING is "lossless" or "jpeg"; BITS the depth the copied page keeps (1, 8, 8p for a palette
# page's own colour table, 24).
#   tests/layouts/make_pages.sh OUT
set -euo pipefail

OUT=$1
HERE=$(cd "$(dirname "$0")" && pwd)
rm -rf "$OUT/pages" "$OUT/references" "$OUT/work"
mkdir -p "$OUT/pages" "$OUT/references" "$OUT/work"
W="$OUT/work"
LIST="$OUT/layouts.txt"
: >"$LIST"

gcc -O1 -o "$W/ycbcr_jpeg" "$HERE/ycbcr_jpeg.c" -ltiff

# The sources: ImageMagick's built-in logo (colour, text, flat areas and edges) at an odd size,
# so that rows need padding, and its grey and black-and-white forms.
convert logo: -resize 331x248! -depth 8 "$W/rgb.tif"
convert "$W/rgb.tif" -colorspace gray -depth 8 "$W/grey.tif"
convert "$W/rgb.tif" -colorspace gray -threshold 60% -depth 1 "$W/bilevel.tif"  # min-is-black
convert logo: -resize 127x127! -depth 8 "$W/small.tif"

# row NAME CODING BITS FILE [ep] [reference-source]: records a made page.
row() {
  local name=$1 coding=$2 bits=$3 file=$4 wrap=${5:-} reference=${6:-$4}
  local page="$OUT/pages/$name.tif"
  cp "$file" "$page"
  tiff2rgba -c none "$reference" "$OUT/references/$name.tif"
  if [ "$wrap" = ep ]; then
    # The imaging software marks its little-endian files "EP" where TIFF has "II".
    [ "$(head -c 2 "$page")" = II ] || { echo "$name: not little-endian" >&2; return 1; }
    mv "$page" "$OUT/pages/$name.mdi"
    page="$OUT/pages/$name.mdi"
    printf 'EP' | dd of="$page" bs=1 seek=0 conv=notrunc status=none
  fi
  echo "$name pages/$(basename "$page") references/$name.tif $coding $bits" >>"$LIST"
}

# im NAME CODING BITS WRAP SOURCE ARGS...: the page as ImageMagick's convert writes it.
im() {
  local name=$1 coding=$2 bits=$3 wrap=$4 source=$5
  shift 5
  convert "$source" "$@" "$W/$name.tif"
  row "$name" "$coding" "$bits" "$W/$name.tif" "$wrap"
}

# tc NAME CODING BITS WRAP SOURCE ARGS...: the page as libtiff's tiffcp writes it.
tc() {
  local name=$1 coding=$2 bits=$3 wrap=$4 source=$5
  shift 5
  tiffcp "$@" "$source" "$W/$name.tif"
  row "$name" "$coding" "$bits" "$W/$name.tif" "$wrap"
}

# yc NAME WRAP H V [TILE]: YCbCr JPEG with the subsampling neither tool above offers.
yc() {
  local name=$1 wrap=$2
  shift 2
  "$W/ycbcr_jpeg" "$W/rgb.tif" "$W/$name.tif" "$@"
  row "$name" jpeg 24 "$W/$name.tif" "$wrap"
}

# Intermediate forms that tiffcp then lays out.
convert "$W/rgb.tif" -type Palette -colors 100 "$W/palette8.tif"
convert "$W/rgb.tif" -depth 16 "$W/rgb16.tif"
convert "$W/rgb.tif" -colorspace CMYK "$W/cmyk.tif"

# Black and white: either photometric, either fill order, every bilevel coding, tiles.
tc bilevel_none_minisblack lossless 1 "" "$W/bilevel.tif" -c none
im bilevel_g4_miniswhite lossless 1 ep "$W/bilevel.tif" -compress group4
tc bilevel_g4_minisblack lossless 1 "" "$W/bilevel.tif" -c g4
tc bilevel_g4_fillorder2 lossless 1 "" "$W/bilevel.tif" -c g4 -f lsb2msb
tc bilevel_g3_2d lossless 1 "" "$W/bilevel.tif" -c g3:2d:fill
tc bilevel_g3_1d lossless 1 "" "$W/bilevel.tif" -c g3:1d
tc bilevel_packbits_strips lossless 1 "" "$W/bilevel.tif" -c packbits -r 7
tc bilevel_lzw_tiles lossless 1 "" "$W/bilevel.tif" -c lzw -t -w 64 -l 48
tc bilevel_g4_bigendian lossless 1 "" "$W/bilevel.tif" -B -c g4

# Grey: 2, 4, 8 and 16 bits, either photometric, predictors, tiles, alpha.
im grey2_none lossless 8 "" "$W/grey.tif" -depth 2 -compress none
im grey4_packbits lossless 8 ep "$W/grey.tif" -depth 4 -compress rle
tc grey8_lzw_predictor lossless 8 "" "$W/grey.tif" -c lzw:2
im grey8_miniswhite_deflate lossless 8 "" "$W/grey.tif" -define quantum:polarity=min-is-white -compress zip
tc grey8_deflate_tiles lossless 8 "" "$W/grey.tif" -c zip -t -w 32 -l 32
im grey16_lzw lossless 8 "" "$W/grey.tif" -depth 16 -compress lzw
im grey8_alpha_lzw lossless 8 "" "$W/grey.tif" -compress lzw -alpha set -channel A -fx 'i/w' +channel

# Palette: 1, 2, 4 and 8 bits.
im palette1_none lossless 8p "" "$W/rgb.tif" -type Palette -colors 2 -depth 1 -define tiff:photometric=palette -compress none
im palette2_none lossless 8p "" "$W/rgb.tif" -type Palette -colors 4 -depth 2 -compress none
im palette4_lzw lossless 8p ep "$W/rgb.tif" -type Palette -colors 16 -depth 4 -compress lzw
im palette8_packbits lossless 8p "" "$W/rgb.tif" -type Palette -colors 200 -compress rle
tc palette8_lzw_tiles lossless 8p "" "$W/palette8.tif" -c lzw -t -w 64 -l 64

# RGB: 8 and 16 bits, contiguous or separate planes, strips or tiles, predictors.
tc rgb8_none lossless 24 ep "$W/rgb.tif" -c none
tc rgb8_lzw_predictor lossless 24 "" "$W/rgb.tif" -c lzw:2
tc rgb8_deflate_bigendian lossless 24 "" "$W/rgb.tif" -B -c zip
tc rgb8_packbits_tiles lossless 24 "" "$W/rgb.tif" -c packbits -t -w 128 -l 64
tc rgb8_separate_lzw lossless 24 "" "$W/rgb.tif" -p separate -c lzw
tc rgb8_separate_tiles lossless 24 "" "$W/rgb.tif" -p separate -t -w 64 -l 64
im rgb16_deflate lossless 24 "" "$W/rgb16.tif" -compress zip
im rgb16_separate_lzw lossless 24 "" "$W/rgb16.tif" -interlace plane -compress lzw

# Alpha, associated or not, composited over white; CMYK.
im rgba_associated lossless 24 "" "$W/rgb.tif" -compress none -alpha set -channel A -fx 'i/w' +channel -define tiff:alpha=associated
im rgba_unassociated_lzw lossless 24 "" "$W/rgb.tif" -compress lzw -alpha set -channel A -fx 'j/h' +channel -define tiff:alpha=unassociated
tc cmyk8_lzw lossless 24 "" "$W/cmyk.tif" -c lzw
tc cmyk8_separate lossless 24 "" "$W/cmyk.tif" -p separate

# JPEG: YCbCr with every subsampling, strips and tiles (127 x 127 in one tile), RGB and grey.
tc jpeg_ycbcr22_strips jpeg 24 ep "$W/rgb.tif" -c jpeg:90 -r 16
tc jpeg_ycbcr22_tiles jpeg 24 "" "$W/rgb.tif" -c jpeg:90 -t -w 128 -l 128
tc jpeg_ycbcr22_127_tile jpeg 24 "" "$W/small.tif" -c jpeg:90 -t -w 128 -l 128
yc jpeg_ycbcr11 "" 1 1
yc jpeg_ycbcr21 "" 2 1
yc jpeg_ycbcr12 "" 1 2
yc jpeg_ycbcr42_tiles "" 4 2 64
im jpeg_rgb_imagemagick jpeg 24 "" "$W/rgb.tif" -compress jpeg -quality 90
im jpeg_grey jpeg 8 "" "$W/grey.tif" -compress jpeg -quality 90

# Orientation: the page stored turned or mirrored, with the tag that says how; it must show
# as the upright page does.
for orientation in 2 3 4 5 6 7 8; do
  case $orientation in
    2) turn=(-flop) ;;
    3) turn=(-rotate 180) ;;
    4) turn=(-flip) ;;
    5) turn=(-transpose) ;;
    6) turn=(-rotate 270) ;;
    7) turn=(-transverse) ;;
    8) turn=(-rotate 90) ;;
  esac
  stored="$W/orientation$orientation.tif"
  convert "$W/rgb.tif" "${turn[@]}" -compress lzw "$stored"
  tiffset -s 274 "$orientation" "$stored"
  row "rgb8_orientation$orientation" lossless 24 "$stored" "" "$W/rgb.tif"
  bilevel="$W/bilevel_orientation$orientation.tif"
  convert "$W/bilevel.tif" "${turn[@]}" -compress group4 "$bilevel"
  tiffset -s 274 "$orientation" "$bilevel"
  row "bilevel_orientation$orientation" lossless 1 "$bilevel" "" "$W/bilevel.tif"
done

echo "$(wc -l <"$LIST") layouts in $OUT"
