#!/usr/bin/env bash
# append_mode_test.sh CLI FIXTURES_DIR SCRATCH_DIR: several signers on one
# document (--append, and the default for a signed input), judged by qpdf
# --check, pdfsig, mutool sign -v and openssl cms -verify over each range.
set -uo pipefail
CLI=$1 FIX=$2 WORK=$3
export PYTHONPATH=$(cd "$(dirname "$0")" && pwd)${PYTHONPATH:+:$PYTHONPATH}
rm -rf "$WORK" && mkdir -p "$WORK" && cd "$WORK" || exit 1
export CORVANE_HKCU=$WORK/hkcu.reg CORVANE_HKLM=$WORK/hklm.reg CORVANE_NSSDB=sql:$WORK/nss
status=0
fail() { echo "FAIL: $*"; status=1; }

cp -r "$FIX/nss" nss
ALEX="Alex Signer" BLAIR="Blair EC Signer"

# sign_as NICKNAME IN OUT [ARGS...]: signs, keeping stderr in OUT.err.
sign_as() {
  local who=$1 in=$2 out=$3
  shift 3
  "$CLI" sign "$in" -o "$out" --cert "$who" "$@" 2>"$out.err"
}
is_prefix() { cmp -s -n "$(stat -c %s "$1")" "$1" "$2"; }
pw_args() { [ -n "$1" ] && echo "--password=$1"; }

# Every signature of FILE checked by openssl over its own byte ranges.
cms_verify_each() {
  python3 - "$1" <<'PY' || return 1
import re, subprocess, sys
data = open(sys.argv[1], "rb").read()
ranges = [list(map(int, m.groups())) for m in re.finditer(rb"/ByteRange \[0 (\d+) (\d+) (\d+) *\]", data)]
assert ranges, "no signature"
for a, b, c in ranges:
    signed = data[:a] + data[b:b + c]
    der = bytes.fromhex(data[a + 1:b - 1].decode())
    open("content.bin", "wb").write(signed)
    open("sig.der", "wb").write(der)
    subprocess.run(["openssl", "cms", "-verify", "-binary", "-inform", "DER", "-in", "sig.der", "-content",
                    "content.bin", "-CAfile", "nss/pem/ca.crt", "-purpose", "any", "-out", "/dev/null"],
                   check=True, capture_output=True)
PY
}

# check_signed FILE PASSWORD COUNT [MUTOOL_COUNT]: the validators find COUNT
# valid signatures in fields of different names (mutool only those whose
# widget is on a page).
check_signed() {
  local f=$1 pw=$2 n=$3 m=${4:-$3} upw="" mpw=""
  [ -n "$pw" ] && upw="-upw $pw" && mpw="-p $pw"
  qpdf $(pw_args "$pw") --check "$f" >qpdf.out 2>&1 || fail "$f: qpdf --check: $(grep -m1 -i 'warn\|error' qpdf.out)"
  pdfsig -nssdir sql:nss $upw "$f" >pdfsig.out 2>&1
  [ "$(grep -c 'Signature is Valid' pdfsig.out)" = "$n" ] || fail "$f: pdfsig does not find $n valid signatures"
  [ "$(grep 'Field Name' pdfsig.out | sort -u | wc -l)" = "$(grep -c 'Field Name' pdfsig.out)" ] || fail "$f: field names are not unique"
  mutool sign -v $mpw "$f" >mutool.out 2>&1
  [ "$(grep -cE 'signature is valid|unchanged since signing' mutool.out)" = "$m" ] || fail "$f: mutool: $(cat mutool.out)"
  cms_verify_each "$f" || fail "$f: openssl cms -verify refuses a signature"
  "$CLI" verify "$f" $(pw_args "$pw") >verify.out 2>&1 || fail "$f: verify: $(cat verify.out)"
}

# Two signers on each fixture: --append, then the default for a signed input.
# Then two fields made by `fields add`, signed by two signers: names kept.
while read -r name pw; do
  src=$FIX/pdf/$name.pdf
  sign_as "$ALEX" "$src" "$name-1.pdf" --append $(pw_args "$pw") || fail "$name: first signature: $(cat "$name-1.pdf.err")"
  sign_as "$BLAIR" "$name-1.pdf" "$name-2.pdf" $(pw_args "$pw") || fail "$name: second signature: $(cat "$name-2.pdf.err")"
  grep -q "appended to keep 1 earlier signature" "$name-2.pdf.err" || fail "$name: no note that the second was appended"
  is_prefix "$src" "$name-1.pdf" && is_prefix "$name-1.pdf" "$name-2.pdf" || fail "$name: the input is not the prefix"
  check_signed "$name-2.pdf" "$pw" 2
  "$CLI" fields add "$src" -o "$name-prepared.pdf" $(pw_args "$pw") -q --name Buyer --page 1 --rect 40,100,200,160 \
    --name Seller --page 1 --rect 220,100,380,160 || fail "$name: fields add"
  sign_as "$ALEX" "$name-prepared.pdf" "$name-buyer.pdf" --field Buyer $(pw_args "$pw") || fail "$name: --field Buyer: $(cat "$name-buyer.pdf.err")"
  sign_as "$BLAIR" "$name-buyer.pdf" "$name-seller.pdf" --field Seller $(pw_args "$pw") || fail "$name: --field Seller: $(cat "$name-seller.pdf.err")"
  check_signed "$name-seller.pdf" "$pw" 2
  [ "$(pdfsig ${pw:+-upw $pw} "$name-seller.pdf" 2>/dev/null | grep -c 'Field Name')" = 2 ] || fail "$name: --field added a field"
done <<'TABLE'
plain
annots-form
xref-stream
ghostscript
enc-rc4-128 user
enc-aes-256 user
TABLE

# A third signer (the first again): a third field "Alex Signer (2)".
sign_as "$ALEX" plain-2.pdf plain-3.pdf || fail "third signature: $(cat plain-3.pdf.err)"
check_signed plain-3.pdf "" 3
pdfsig plain-3.pdf | grep -q 'Field Name: Alex Signer (2)' || fail "third field not named \"Alex Signer (2)\""

# A file signed by another tool keeps its signature.
pdfsig -add-signature -nssdir sql:nss -nick "Alex Signer" "$FIX/pdf/annots-form.pdf" other.pdf >/dev/null 2>&1
sign_as "$BLAIR" other.pdf other-2.pdf || fail "other tool's file: $(cat other-2.pdf.err)"
check_signed other-2.pdf "" 2 1

# --rebuild on a signed input warns, and names its field apart from the earlier one.
sign_as "$ALEX" plain-1.pdf rebuilt.pdf --rebuild || fail "rebuild: $(cat rebuilt.pdf.err)"
grep -q "will no longer cover the file" rebuilt.pdf.err || fail "--rebuild on a signed input does not warn"
pdfsig rebuilt.pdf 2>/dev/null | grep -q 'Field Name: Alex Signer (2)' || fail "rebuild: the field is not \"Alex Signer (2)\""

# Hand-made inputs append mode refuses: a P1 certification, a misplaced
# table, a bad offset.
python3 - "$FIX/pdf/plain.pdf" <<'PY'
import re, sys
from pdf_update import update
plain = open(sys.argv[1], "rb").read()
size = int(re.findall(rb"/Size (\d+)", plain)[-1])
open("certified.pdf", "wb").write(update(plain, [
    (size, b"<< /Type /Sig /Filter /Adobe.PPKLite /Reference [ << /Type /SigRef /TransformMethod /DocMDP"
           b" /TransformParams << /Type /TransformParams /P 1 /V /1.2 >> >> ] >>"),
    (1, b"<< /Type /Catalog /Pages 2 0 R /Perms << /DocMDP %d 0 R >> >>" % size)], size + 1))
prev = int(re.findall(rb"startxref\n(\d+)", plain)[-1])
open("damaged.pdf", "wb").write(plain.replace(b"startxref\n%d" % prev, b"startxref\n%d" % (prev - 7)))
# A trailer /Size below the highest object number (the font is 5): qpdf only warns.
open("low-size.pdf", "wb").write(plain.replace(b"/Size 7 ", b"/Size 5 "))
# One offset of the table two bytes off (object 2, the page tree).
open("bad-offset.pdf", "wb").write(plain.replace(b"0000000064 00000 n", b"0000000066 00000 n"))
PY
# Refused by sign --append, and by timestamp before any authority is asked
# (a P1 certification still takes a document timestamp, below).
for refused in certified damaged bad-offset; do
  sign_as "$ALEX" $refused.pdf $refused-signed.pdf --append && fail "$refused: signed"
  [ $refused = certified ] && continue
  "$CLI" timestamp $refused.pdf -o $refused-stamped.pdf --tsa http://127.0.0.1:1/ 2>$refused-stamped.pdf.err \
    && fail "$refused: timestamped"
  grep -q "127.0.0.1" $refused-stamped.pdf.err && fail "$refused: the authority was asked"
  [ -e $refused-signed.pdf ] || [ -e $refused-stamped.pdf ] && fail "$refused: a file was written"
done
grep -q "DocMDP /P 1" certified-signed.pdf.err || fail "certified: $(cat certified-signed.pdf.err)"
for damaged in damaged-signed damaged-stamped bad-offset-signed bad-offset-stamped; do
  grep -q -- "cross-reference is damaged.*--rebuild" $damaged.pdf.err || fail "$damaged: $(cat $damaged.pdf.err)"
done

# New objects are numbered above every object whatever /Size says: the font
# stays, for a signature and a document timestamp (the loopback authority).
TSA_SCRIPTS=$(cd "$(dirname "$0")/../timestamp" && pwd)
bash "$TSA_SCRIPTS/make_tsa.sh" "$WORK/tsa" || fail "no timestamp authority"
python3 "$TSA_SCRIPTS/tsa_server.py" "$WORK/tsa" >tsa.port &
TSA_PID=$!
trap 'kill $TSA_PID 2>/dev/null' EXIT
for _ in $(seq 50); do [ -s tsa.port ] && break; sleep 0.1; done
qpdf --show-object=5 low-size.pdf >font.want 2>/dev/null
while read -r what; do
  out=low-size-${what%% *}.pdf
  case $what in
    sign*) sign_as "$ALEX" low-size.pdf "$out" --append ;;
    timestamp) "$CLI" timestamp low-size.pdf -o "$out" --tsa "http://127.0.0.1:$(head -1 tsa.port)/ok" 2>"$out.err" ;;
  esac || fail "low /Size, $what: $(cat "$out.err")"
  qpdf --show-object=5 "$out" 2>&1 | cmp -s - font.want || fail "low /Size, $what: the font object changed"
  qpdf --check "$out" >qpdf.out 2>&1 || fail "low /Size, $what: qpdf --check: $(grep -m1 -i 'error' qpdf.out)"
done <<'TABLE'
sign --append
timestamp
TABLE

# prepared.pdf: annots-form.pdf with empty visible signature fields "Buyer",
# "Seller" and "Approver" (whose /Lock locks "Buyer") on page 1; its
# catalog's /Perms names a usage-rights dictionary (/UR3), which a
# certification keeps.
python3 - "$FIX/pdf/annots-form.pdf" <<'PY'
import sys
from pdf_update import update
sig = b"<< /Type /Annot /Subtype /Widget /FT /Sig /T (%s) /Rect [%d 100 %d 160] /P 4 0 R /F 4%s >>"
page = b"<< /Type /Page /Parent 3 0 R /Contents 7 0 R /Annots [ 10 0 R 11 0 R %s] >>"
form = b"/AcroForm << /Fields [ 11 0 R 14 0 R 15 0 R 16 0 R ] /DA (/Helv 0 Tf 0 g) /DR << /Font << /Helv 2 0 R >> >> >>"
open("prepared.pdf", "wb").write(update(open(sys.argv[1], "rb").read(), [
    (14, sig % (b"Buyer", 40, 200, b"")), (15, sig % (b"Seller", 220, 380, b"")),
    (16, sig % (b"Approver", 400, 560, b" /Lock << /Type /SigFieldLock /Action /Include /Fields [ (Buyer) ] >>")),
    (17, b"<< /Type /Sig /Filter /Adobe.PPKLite /Reference [ << /Type /SigRef /TransformMethod /UR3 >> ] >>"),
    (4, page % b"14 0 R 15 0 R 16 0 R "),
    (1, b"<< /Type /Catalog /Pages 3 0 R /Perms << /UR3 17 0 R >> " + form + b" >>")]))
# twins.pdf: two fields named "Twin".
open("twins.pdf", "wb").write(update(open(sys.argv[1], "rb").read(), [
    (14, sig % (b"Twin", 40, 200, b"")), (15, sig % (b"Twin", 220, 380, b"")),
    (4, page % b"14 0 R 15 0 R "), (1, b"<< /Type /Catalog /Pages 3 0 R " + form.replace(b"16 0 R ", b"") + b" >>")]))
# kids.pdf: the field "form.Sig" under "form", its widget a kid of its own.
open("kids.pdf", "wb").write(update(open(sys.argv[1], "rb").read(), [
    (14, b"<< /T (form) /Kids [ 15 0 R ] >>"), (15, b"<< /Parent 14 0 R /T (Sig) /FT /Sig /Kids [ 16 0 R ] >>"),
    (16, b"<< /Type /Annot /Subtype /Widget /Parent 15 0 R /Rect [ 40 100 200 160 ] /P 4 0 R /F 4 >>"),
    (4, page % b"16 0 R "), (1, b"<< /Type /Catalog /Pages 3 0 R " + form.replace(b"15 0 R 16 0 R ", b"") + b" >>")]))
PY
sign_as "$ALEX" prepared.pdf buyer.pdf --field Buyer || fail "--field Buyer: $(cat buyer.pdf.err)"
grep -q 'appended: field "Buyer"' buyer.pdf.err || fail "--field: no note that the run appends"
# A certification at each level, in "Seller" or rebuilt, then a signer or a
# document timestamp: whether sign allows it; verify accepts what it allows.
TSA_URL="http://127.0.0.1:$(head -1 tsa.port)/ok"
while read -r how level then signs; do
  c=$how-p$level f=certified-$how-p$level.pdf out=$how-p$level-$then.pdf
  args=--rebuild && [ $how = field ] && args="--field Seller"
  if [ ! -e $f ]; then
    sign_as "$ALEX" prepared.pdf $f $args --certify $level || fail "$c: $(cat $f.err)"
    qpdf --check $f >qpdf.out 2>&1 || fail "$c: qpdf --check: $(grep -m1 -i 'warn\|error' qpdf.out)"
    perms=$(qpdf --show-object=1 $f 2>/dev/null | grep -o '/Perms << [^>]*>>')
    ur3=$(echo "$perms" | grep -o '/UR3 [0-9]*' | cut -d' ' -f2)
    [[ $perms == */DocMDP* && -n $ur3 ]] && qpdf --show-object=$ur3 $f 2>/dev/null | grep -q "/TransformMethod /UR3" ||
      fail "$c: the catalog's /Perms lost /UR3 or has no /DocMDP: $perms"
  fi
  case $then in
    sign) sign_as "$BLAIR" $f $out --field Buyer ;;
    timestamp) "$CLI" timestamp $f -o $out --tsa "$TSA_URL" 2>$out.err ;;
  esac
  rc=$?
  if [ $signs = no ]; then
    [ $rc != 0 ] && grep -q "DocMDP /P 1" $out.err || fail "$c then $then: not refused"
    [ -e $out ] && fail "$c then $then: a file was written"
    continue
  fi
  [ $rc = 0 ] || fail "$c then $then: $(cat $out.err 2>/dev/null)"
  "$CLI" verify $out --trust tsa/root.pem >verify.out 2>&1 || fail "$c then $then: verify: $(cat verify.out)"
  grep -q "Certification: DocMDP P$level" verify.out || fail "$c: verify names no certification"
done <<'TABLE'
field 1 sign no
field 1 timestamp yes
field 2 sign yes
rebuild 1 sign no
rebuild 2 sign yes
rebuild 3 timestamp yes
TABLE
check_signed field-p2-sign.pdf "" 2
check_signed rebuild-p2-sign.pdf "" 2
# Without --field, the one field left empty is named.
for mode in "" --append; do
  sign_as "$ALEX" field-p2-sign.pdf third.pdf $mode || fail "third signer $mode: $(cat third.pdf.err)"
  grep -q 'field "Approver" was left empty; sign it with --field "Approver"' third.pdf.err || fail "$mode: no note on Approver"
done
# A signed field's /Lock becomes its signature's FieldMDP transform.
sign_as "$ALEX" prepared.pdf approver.pdf --field Approver || fail "--field Approver: $(cat approver.pdf.err)"
"$CLI" verify approver.pdf | grep -qx '  Locks: fields "Buyer"' || fail "Approver: verify does not name the lock once"
grep -aq "/TransformMethod /FieldMDP" approver.pdf || fail "Approver: no FieldMDP reference"
# A field under another, its widget a kid, by full name: the field takes the
# value, the widget the appearance. Signatures show their text from here on.
"$CLI" settings set signtext 1 >/dev/null
sign_as "$ALEX" kids.pdf kids-signed.pdf --field form.Sig || fail "form.Sig: $(cat kids-signed.pdf.err)"
"$CLI" verify kids-signed.pdf >verify.out 2>&1 || fail "form.Sig: verify: $(cat verify.out)"
cms_verify_each kids-signed.pdf || fail "form.Sig: openssl cms -verify refuses it"
qpdf --show-object=16 kids-signed.pdf | grep -q "/AP" || fail "form.Sig: the widget has no appearance"
# Refusals, nothing written: what --field and --certify cannot do, files
# append and timestamp cannot read or write (timestamp's args name its output).
while IFS='|' read -r command in args said; do
  case $command in
    sign) sign_as "$BLAIR" "$in" refused.pdf $args ;;
    timestamp) "$CLI" timestamp "$in" $args --tsa "$TSA_URL" 2>refused.pdf.err ;;
  esac && fail "$command $in $args: done"
  [ -e refused.pdf ] && fail "$command $in $args: a file was written"
  grep -q -- "$said" refused.pdf.err || fail "$command $in $args: $(cat refused.pdf.err)"
done <<TABLE
sign|prepared.pdf|--field Nobody|no signature field "Nobody"; its empty signature fields: "Buyer", "Seller", "Approver"
sign|buyer.pdf|--field Buyer|the signature field "Buyer" is signed already
sign|buyer.pdf|--certify 2 --rebuild|only its first signature may certify it
sign|approver.pdf|--field Buyer|the signature in field "Approver" locks field "Buyer"
sign|twins.pdf|--field Twin|the name "Twin" matches 2 signature fields
timestamp|missing.pdf|-o refused.pdf|^corvanepdf: cannot timestamp missing.pdf: no such file$
timestamp|$FIX/pdf/enc-aes-256.pdf|-o refused.pdf|^corvanepdf: .*enc-aes-256.pdf is encrypted: give its password with --password$
timestamp|$FIX/pdf/enc-aes-256.pdf|-o refused.pdf --password=wrong|^corvanepdf: wrong password for .*enc-aes-256.pdf$
timestamp|prepared.pdf|-o no-folder/refused.pdf|^corvanepdf: the timestamped file no-folder/refused.pdf could not be written: .
TABLE

# drawn FILE X Y W H: pdftoppm draws something in that box of page 1 (72 dpi, y from the top).
drawn() {
  pdftoppm -r 72 -f 1 -l 1 -gray -x "$2" -y "$3" -W "$4" -H "$5" "$1" box &&
    python3 -c "import sys; d=open('box-1.pgm','rb').read(); sys.exit(0 if min(d[-$4*$5:]) < 128 else 1)"
}
# The default box (357,16-535,58 on 595 x 842), and a prepared field (220,100-380,160 on 612 x 792).
while read -r in out x y w h args; do
  sign_as "$ALEX" "$in" $out.pdf $args || fail "$out: $(cat $out.pdf.err)"
  drawn $out.pdf $x $y $w $h || fail "$out: the box is blank"
done <<TABLE
$FIX/pdf/plain.pdf visible 357 784 178 42 --append
prepared.pdf visible-field 220 632 160 60 --field Seller
TABLE

exit $status
