# Rewrites a signed container the way a sender or a relay could:
#   unsorted IN KEY OUT   the signed attributes in reverse order (not the sorted DER order),
#                         signed again over that order with KEY (RSA, PKCS#1 v1.5, SHA-256)
#   swap IN CERT OUT      the signer identifier pointed at CERT (same issuer, same key), which
#                         is added to the certificates
#   reverse IN - OUT      an envelope's recipients in reverse order (not the sorted DER order)
#   countersign IN CERT,KEY OUT  a countersignature (RFC 5652 11.4) by CERT and its KEY over
#                         the first signer's signature value, CERT added to the certificates;
#                         with countersign-wrong its digest is of other bytes
import sys
from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import padding

OID_SHA256 = bytes.fromhex('0609608648016503040201')
OID_RSA = bytes.fromhex('06092a864886f70d010101')
OID_MESSAGE_DIGEST = bytes.fromhex('06092a864886f70d010904')
OID_COUNTERSIGNATURE = bytes.fromhex('06092a864886f70d010906')


def parse(data, offset=0):
    tag, n, start = data[offset], data[offset + 1], offset + 2
    if n & 0x80:
        count = n & 0x7F
        n, start = int.from_bytes(data[start:start + count], 'big'), start + count
    body = data[start:start + n]
    if tag & 0x20:
        children, at = [], 0
        while at < len(body):
            child, at = parse(body, at)
            children.append(child)
        return [tag, children], start + n
    return [tag, body], start + n


def encode(node):
    tag, value = node
    body = b''.join(encode(c) for c in value) if isinstance(value, list) else value
    n = len(body)
    length = bytes([n]) if n < 128 else bytes([0x80 | ((n.bit_length() + 7) // 8)]) + \
        n.to_bytes((n.bit_length() + 7) // 8, 'big')
    return bytes([tag]) + length + body


mode, source, extra, target = sys.argv[1:5]
root, _ = parse(open(source, 'rb').read())
signed = root[1][1][1][0]
signer = signed[1][-1][1][0] if mode != 'reverse' else None
if mode == 'reverse':
    next(e for e in signed[1] if e[0] == 0x31)[1].reverse()
elif mode.startswith('countersign'):
    cert_path, key_path = extra.split(',')
    cert = x509.load_pem_x509_certificate(open(cert_path, 'rb').read())
    key = serialization.load_pem_private_key(open(key_path, 'rb').read(), None)
    der = cert.public_bytes(serialization.Encoding.DER)
    tbs = parse(der)[0][1][0][1]
    value = signer[1][5][1] + (b'x' if mode.endswith('-wrong') else b'')
    digest = hashes.Hash(hashes.SHA256())
    digest.update(value)
    attributes = [[0x30, [parse(OID_MESSAGE_DIGEST)[0],
                          [0x31, [[0x04, digest.finalize()]]]]]]
    signature = key.sign(encode([0x31, attributes]), padding.PKCS1v15(), hashes.SHA256())
    counter = [0x30, [[0x02, b'\x01'], [0x30, [tbs[3], tbs[1]]],
                      [0x30, [parse(OID_SHA256)[0], [0x05, b'']]], [0xA0, attributes],
                      [0x30, [parse(OID_RSA)[0], [0x05, b'']]], [0x04, signature]]]
    if signer[1][-1][0] != 0xA1:
        signer[1].append([0xA1, []])
    signer[1][-1][1].append([0x30, [parse(OID_COUNTERSIGNATURE)[0], [0x31, [counter]]]])
    next(e for e in signed[1] if e[0] == 0xA0)[1].append(parse(der)[0])
elif mode == 'unsorted':
    attributes = signer[1][3]
    assert attributes[0] == 0xA0 and len(attributes[1]) > 1
    attributes[1].reverse()
    key = serialization.load_pem_private_key(open(extra, 'rb').read(), None)
    to_sign = encode([0x31, attributes[1]])
    signer[1][5][1] = key.sign(to_sign, padding.PKCS1v15(), hashes.SHA256())
else:
    cert = x509.load_pem_x509_certificate(open(extra, 'rb').read())
    der = cert.public_bytes(serialization.Encoding.DER)
    signer[1][1][1][1][1] = parse(der)[0][1][0][1][1][1]  # the serial INTEGER's content
    certificates = next(e for e in signed[1] if e[0] == 0xA0)
    certificates[1].append(parse(der)[0])
open(target, 'wb').write(encode(root))
