#!/bin/sh
# Makes the bundled sample files in samples/files/ with real tools, so that
# every sample's origin is visible. The files are committed; running this
# again needs: imagemagick, qpdf, zip, p7zip-full, tar, gzip, python3. The
# office documents are the test fixtures LibreOffice wrote
# (tests/fixtures/office/office_suite.sh), copied.
set -eu
cd "$(dirname "$0")"
rm -rf files && mkdir files && cd files
convert=/usr/bin/convert-im6.q16
export SOURCE_DATE_EPOCH=1700000000

printf 'Meeting notes\n- ship the engine\n- write the README\n' > notes.txt
printf '<!DOCTYPE html>\n<html><head><title>Hello</title></head><body><p>Hi</p></body></html>\n' > page.html
printf '#!/bin/sh\necho "hello from a script"\n' > hello.sh
"$convert" -size 16x16 xc:steelblue -strip picture.png
"$convert" -size 16x16 xc:orange -strip picture.gif
"$convert" -size 16x16 xc:green -strip -quality 80 picture.jpg
"$convert" -size 8x8 xc:red -strip picture.bmp
qpdf --empty document.pdf
qpdf --encrypt secret owner 256 -- document.pdf locked.pdf
zip -q -X archive.zip notes.txt page.html
/usr/lib/p7zip/7za a -bd -bso0 archive.7z notes.txt hello.sh
tar --mtime=@1700000000 --owner=0 --group=0 --numeric-owner -cf - notes.txt page.html | gzip -n -9 > archive.tar.gz
office=../../tests/fixtures/office
cp "$office/word.doc" "$office/word_password.doc" .
for f in word.docx sheet.xlsx slides.pptx text.odt text_password.odt; do cp "$office/packages/$f" .; done
python3 -c "import random; r=random.Random(7); open('random.bin','wb').write(bytes(r.randrange(256) for _ in range(4096)))"
ls -l
