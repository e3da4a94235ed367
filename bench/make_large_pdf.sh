#!/usr/bin/env bash
# Makes the large document the engine benchmark reads: copies of the
# fixtures' pages (text pages with fonts, form fields, links, a page from an
# object stream) and of a full-page picture, put together by qpdf into one
# file of at least 50 MB and 50,000 objects.
#
#   bench/make_large_pdf.sh FIXTURES_PDF_DIR OUT.pdf [BLOCKS] [GROUPS_PER_BLOCK] [PICTURES_PER_BLOCK]
#
# The defaults give about 59 MB and 54,000 objects in half a minute.
set -euo pipefail

fixtures=${1:?fixture pdf folder, e.g. build/fixtures/pdf}
out=${2:?output file}
blocks=${3:-31}
groups_per_block=${4:-50}
pictures_per_block=${5:-6}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One group of fixture pages (about 37 objects, 5.5 kB).
qpdf --empty --pages "$fixtures/ghostscript.pdf" "$fixtures/annots-form.pdf" \
  "$fixtures/plain.pdf" "$fixtures/xref-stream.pdf" -- "$work/group.pdf"

# A page with a 300 x 300 colour picture of noise, which does not compress
# (about 270 kB), and a line of text.
cat > "$work/picture.ps" <<'PS'
%!PS
/w 300 def /h 300 def
/row w 3 mul string def
gsave 72 200 translate 450 450 scale
w h 8 [w 0 0 h neg 0 h] { 0 1 row length 1 sub { row exch rand -16 bitshift 255 and put } for row }
false 3 colorimage
grestore
/Helvetica findfont 14 scalefont setfont 72 700 moveto (Figure page) show
showpage
PS
gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -dAutoFilterColorImages=false \
  -sColorImageFilter=FlateEncode -dDownsampleColorImages=false \
  -sOutputFile="$work/picture.pdf" "$work/picture.ps"

# qpdf copies a page's objects once per input file, so every copy is a
# file name of its own (hard links cost nothing). A block holds
# GROUPS_PER_BLOCK groups with a picture page after every few of them, as
# figures come in a manual; the document is BLOCKS copies of the block.
copies() {  # copies FILE COUNT PREFIX -> the names, one per line
  for ((i = 0; i < $2; i++)); do ln "$1" "$work/$3$i.pdf"; echo "$work/$3$i.pdf"; done
}
mapfile -t groups < <(copies "$work/group.pdf" "$groups_per_block" g)
mapfile -t pictures < <(copies "$work/picture.pdf" "$pictures_per_block" p)
pages=()
every=$(( groups_per_block / pictures_per_block ))
for ((i = 0; i < groups_per_block; i++)); do
  pages+=("${groups[$i]}")
  if (( (i + 1) % every == 0 && (i + 1) / every <= pictures_per_block )); then
    pages+=("${pictures[$(( (i + 1) / every - 1 ))]}")
  fi
done
qpdf --empty --pages "${pages[@]}" -- "$work/block.pdf"
mapfile -t blocks_list < <(copies "$work/block.pdf" "$blocks" b)
qpdf --empty --pages "${blocks_list[@]}" -- "$out"

size=$(stat -c %s "$out")
objects=$(qpdf --show-xref "$out" | grep -c 'uncompressed\|compressed')
echo "$out: $size bytes, $objects objects, $(qpdf --show-npages "$out") pages"
