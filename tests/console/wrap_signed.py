# Wraps a bare SignedData (what a Protected Document encrypts) in a ContentInfo, so that
# "openssl cms -verify" reads it: wrap_signed.py IN OUT.
import sys

def tlv(tag, body):
    n = len(body)
    if n < 0x80:
        length = bytes([n])
    else:
        raw = n.to_bytes((n.bit_length() + 7) // 8, "big")
        length = bytes([0x80 | len(raw)]) + raw
    return bytes([tag]) + length + body

SIGNED_DATA = bytes.fromhex("06092a864886f70d010702")
inner = open(sys.argv[1], "rb").read()
open(sys.argv[2], "wb").write(tlv(0x30, SIGNED_DATA + tlv(0xA0, inner)))
