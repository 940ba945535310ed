#!/bin/bash
# Writes the seed inputs of every fuzz target into $1/<target>/ with the peers the tests use:
# Info-ZIP and Python's zipfile for archives (hostile names and extra fields included),
# OpenSSL for certificates and signed and enveloped containers.
set -euo pipefail
out=$(realpath -m "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

mkdir -p tree/sub/deeper tree/empty
printf 'hello\n' > tree/a.txt
head -c 3000 /dev/zero | tr '\0' 'x' > tree/sub/repeat.txt
seq 1 400 > tree/sub/deeper/numbers.txt
: > tree/zero.bin

zip -q -r infozip.zip tree
zip -q -0 -r infozip_stored.zip tree
cp infozip.zip infozip_comment.zip && printf 'an Info-ZIP comment\n' | zip -q -z infozip_comment.zip
zip -q -r - tree | cat > infozip_stream.zip
printf 'MZ stub in front\n' > sfx.zip && cat infozip.zip >> sfx.zip
cp sfx.zip sfx_adjusted.zip && zip -q -A sfx_adjusted.zip

python3 - <<'PY'
import struct, zipfile

def write(path, entries, comment=b"", method=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(path, "w", method) as archive:
        archive.comment = comment
        for info, data in entries:
            archive.writestr(info, data)

def info(name, extra=b"", system=0, attr=0, flags=0):
    i = zipfile.ZipInfo(name, (2024, 2, 29, 23, 59, 58))
    i.extra = extra
    i.create_system = system
    i.external_attr = attr
    i.flag_bits |= flags
    i.compress_type = zipfile.ZIP_DEFLATED
    return i

def codepage(flags, name_cp=None, name=b"", comment_cp=None):
    body = bytes([1, flags])
    if name_cp is not None:
        body += struct.pack("<I", name_cp) + name
    if comment_cp is not None:
        body += struct.pack("<I", comment_cp)
    return struct.pack("<HH", 0x5A4C, len(body)) + body

write("python.zip", [(info("a.txt"), b"hello\n"), (info("sub/"), b""),
                     (info("sub/b.txt"), b"b" * 2000)], b"python comment")
write("python_stored.zip", [(info("a.txt"), b"hello"), (info("z.bin"), b"")],
      method=zipfile.ZIP_STORED)
write("python_unix.zip", [(info("x.sh", system=3, attr=0o100755 << 16), b"#!/bin/sh\n"),
                          (info("dir/", system=3, attr=0o040755 << 16), b"")])
write("python_utf8.zip", [(info("ćirilica/жир.txt"), "ђ".encode() * 50)])
write("python_extra.zip", [
    (info("cp.txt", codepage(1, 1251)), b"x"),
    (info("named.txt", codepage(3, 65001, "имя.txt".encode())), b"y"),
    (info("comment.txt", codepage(5, 437, b"", 1252)), b"z"),
    (info("unix.txt", struct.pack("<HHBII", 0x5455, 9, 3, 0, 0)), b"w"),
    (info("short.txt", struct.pack("<HH", 0x5A4C, 40) + b"\x01"), b"v")])
hostile = ["../escape.txt", "..\\escape.txt", "/abs.txt", "\\abs.txt", "C:/drive.txt",
           "c:drive.txt", "a/../../up.txt", "stream.txt:ads", "CON", "nul.txt", "COM1.log",
           "dots/.../x", "sp/ ../x", "ctl\x01.txt", "a//b.txt", "deep/" * 40 + "x.txt"]
write("hostile.zip", [(info(n), b"bad") for n in hostile])
for i, n in enumerate(hostile):
    write("hostile_%02d.zip" % i, [(info(n), b"bad")])
PY
mkdir -p "$out/zip"
cp ./*.zip "$out/zip/"

# Certificates, signed and enveloped containers: the recipes of the interop tests.
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -subj "/CN=Fuzz Seed" \
    -days 30 2>/dev/null
openssl x509 -in cert.pem -outform DER -out cert.der
sign="-binary -nodetach -outform DER -in python.zip -signer cert.pem -inkey key.pem"
openssl cms -sign $sign -md sha1 -out signed_attrs.snx
openssl cms -sign -noattr $sign -md sha256 -out signed_noattr.snx
openssl smime -sign $sign -out signed_smime.snx
for cipher in des3 aes128 aes192 aes256; do
    openssl cms -encrypt -$cipher -binary -outform DER -in python.zip -out "$cipher.enx" cert.pem
done
openssl cms -encrypt -des3 -binary -outform DER -in signed_noattr.snx -out signed.pnx cert.pem
openssl cms -encrypt -aes128 -keyid -binary -outform DER -in python_stored.zip -out keyid.enx \
    cert.pem
printf 'x' > one.bin
openssl cms -encrypt -des3 -binary -outform DER -in one.bin -out small.enx cert.pem
mkdir -p "$out/der"
cp cert.der ./*.snx ./*.enx ./*.pnx "$out/der/"

# Time-stamp tokens over a seed file with each imprint hash OpenSSL's authority makes, their
# bare TSTInfo, and bare SignedData (what a signer's unsigned attributes are added to).
openssl req -x509 -newkey rsa:2048 -nodes -keyout tsa.key -out tsa.pem -subj "/CN=Fuzz TSA" \
    -days 30 -addext "extendedKeyUsage=critical,timeStamping" 2>/dev/null
printf '[ tsa ]\nserial = tsa.serial\nsigner_cert = tsa.pem\nsigner_key = tsa.key\nsigner_digest = sha256\ndefault_policy = 1.2.3.4.1\ndigests = sha256, sha384, sha512\naccuracy = secs:1\ness_cert_id_alg = sha256\n' >tsa.cnf
echo 01 >tsa.serial
mkdir -p "$out/tst_info" "$out/unsigned_attributes"
for hash in sha256 sha384 sha512; do
    openssl ts -query -data python.zip -$hash -cert -out q.tsq
    openssl ts -reply -config tsa.cnf -section tsa -queryfile q.tsq -token_out \
        -out "$out/tst_info/token_$hash.der" 2>/dev/null
    openssl cms -verify -noverify -inform DER -in "$out/tst_info/token_$hash.der" \
        -out "$out/tst_info/tst_$hash.der" 2>/dev/null
done
python3 - "$out/unsigned_attributes" signed_attrs.snx signed_noattr.snx "$out/tst_info/token_sha256.der" <<'PY'
import os, sys
def read(data, at):
    n = data[at + 1]; at += 2
    if n & 0x80:
        count = n & 0x7F; n = int.from_bytes(data[at:at + count], "big"); at += count
    return at, at + n
for name in sys.argv[2:]:
    data = open(name, "rb").read()
    info, _ = read(data, 0)
    _, oid_end = read(data, info)
    explicit, _ = read(data, oid_end)
    start, end = read(data, explicit)
    bare = data[explicit:end]
    open(os.path.join(sys.argv[1], os.path.basename(name) + ".bare"), "wb").write(bare)
PY

for target in zip_end_record zip_central_dir zip_entries zip_extract; do
    rm -rf "${out:?}/$target" && cp -r "$out/zip" "$out/$target"
done
for target in der_reader envelope; do
    rm -rf "${out:?}/$target" && cp -r "$out/der" "$out/$target"
done
rm -rf "${out:?}/zip" "${out:?}/der"
