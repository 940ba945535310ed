# Puts CRLs into the crls field of a signed container's SignedData (outside the signature,
# so the signature still verifies): keep_crls.py IN OUT CRL.der...
import sys


def read(data, at):
    tag = data[at]
    n = data[at + 1]
    at += 2
    if n & 0x80:
        count = n & 0x7F
        n = int.from_bytes(data[at:at + count], "big")
        at += count
    return tag, at, at + n  # tag, content start, end


def tlv(tag, body):
    n = len(body)
    if n < 0x80:
        length = bytes([n])
    else:
        raw = n.to_bytes((n.bit_length() + 7) // 8, "big")
        length = bytes([0x80 | len(raw)]) + raw
    return bytes([tag]) + length + body


data = open(sys.argv[1], "rb").read()
_, info, _ = read(data, 0)                 # ContentInfo
_, oid_start, oid_end = read(data, info)   # contentType
_, explicit, _ = read(data, oid_end)       # [0]
_, fields, fields_end = read(data, explicit)  # SignedData
elements = []
at = fields
while at < fields_end:
    tag, start, end = read(data, at)
    elements.append((tag, data[at:end]))
    at = end
crls = b"".join(open(name, "rb").read() for name in sys.argv[3:])
elements = [element for element in elements if element[0] != 0xA1]
elements.insert(len(elements) - 1, (0xA1, tlv(0xA1, crls)))
signed = tlv(0x30, b"".join(body for _, body in elements))
out = tlv(0x30, data[info:oid_end] + tlv(0xA0, signed))
open(sys.argv[2], "wb").write(out)
