# Signs a CRL with a kit CA's key, with the entries and dates a test needs:
#   make_crl.py CA_CERT.pem CA_KEY.pem OUT.der THIS NEXT [options]
# THIS, NEXT and every WHEN are seconds from now (negative: in the past) or a UTC time
# written 2020-06-01T12:00:00.
#   --from OLD.der             keep every entry of OLD
#   --revoke CERT.pem,WHEN[,REASON[,INVALID]]
#   --expired-since WHEN       the ExpiredCertsOnCRL extension (2.5.29.60)
#   --number N                 the CRL number
#   --delta BASE               a delta list (critical deltaCRLIndicator) over list number BASE
#   --scope user|ca|attribute|reasons|URL   an issuingDistributionPoint limited that way
#   --critical-unknown list|entry          an unknown critical extension on the list or entry
import argparse
import datetime

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.x509.oid import ObjectIdentifier

p = argparse.ArgumentParser()
p.add_argument("cert")
p.add_argument("key")
p.add_argument("out")
p.add_argument("this")
p.add_argument("next")
p.add_argument("--from", dest="old")
p.add_argument("--revoke", action="append", default=[])
p.add_argument("--expired-since")
p.add_argument("--number", type=int)
p.add_argument("--delta", type=int)
p.add_argument("--scope")
p.add_argument("--critical-unknown")
a = p.parse_args()

now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)


def at(when):
    """Seconds from now, or a UTC date and time as 2020-06-01T12:00:00."""
    if isinstance(when, str) and "T" in when:
        return datetime.datetime.fromisoformat(when).replace(tzinfo=datetime.timezone.utc)
    return now + datetime.timedelta(seconds=int(when))


UNKNOWN = x509.UnrecognizedExtension(ObjectIdentifier("1.3.6.1.4.1.55555.1"), b"\x05\x00")
issuer = x509.load_pem_x509_certificate(open(a.cert, "rb").read())
key = serialization.load_pem_private_key(open(a.key, "rb").read(), None)

b = (x509.CertificateRevocationListBuilder().issuer_name(issuer.subject)
     .last_update(at(a.this)).next_update(at(a.next)))
if a.old:
    for entry in x509.load_der_x509_crl(open(a.old, "rb").read()):
        b = b.add_revoked_certificate(entry)
for entry_text in a.revoke:
    fields = entry_text.split(",")
    cert = x509.load_pem_x509_certificate(open(fields[0], "rb").read())
    e = x509.RevokedCertificateBuilder().serial_number(cert.serial_number)
    e = e.revocation_date(at(fields[1]))
    if len(fields) > 2 and fields[2]:
        e = e.add_extension(x509.CRLReason(x509.ReasonFlags(fields[2])), False)
    if len(fields) > 3:
        e = e.add_extension(x509.InvalidityDate(at(fields[3]).replace(tzinfo=None)), False)
    if a.critical_unknown == "entry":
        e = e.add_extension(UNKNOWN, True)
    b = b.add_revoked_certificate(e.build())
if a.expired_since is not None:
    when = at(a.expired_since).strftime("%Y%m%d%H%M%SZ").encode()
    b = b.add_extension(x509.UnrecognizedExtension(ObjectIdentifier("2.5.29.60"),
                                                   b"\x18" + bytes([len(when)]) + when), False)
if a.number is not None:
    b = b.add_extension(x509.CRLNumber(a.number), False)
if a.delta is not None:
    b = b.add_extension(x509.DeltaCRLIndicator(a.delta), True)
if a.critical_unknown == "list":
    b = b.add_extension(UNKNOWN, True)
if a.scope:
    flags = dict(full_name=None, relative_name=None, only_contains_user_certs=False,
                 only_contains_ca_certs=False, only_some_reasons=None, indirect_crl=False,
                 only_contains_attribute_certs=False)
    if a.scope == "user":
        flags["only_contains_user_certs"] = True
    elif a.scope == "ca":
        flags["only_contains_ca_certs"] = True
    elif a.scope == "attribute":
        flags["only_contains_attribute_certs"] = True
    elif a.scope == "reasons":
        flags["only_some_reasons"] = frozenset([x509.ReasonFlags.ca_compromise])
    else:
        flags["full_name"] = [x509.UniformResourceIdentifier(a.scope)]
    b = b.add_extension(x509.IssuingDistributionPoint(**flags), True)
open(a.out, "wb").write(b.sign(key, hashes.SHA256()).public_bytes(serialization.Encoding.DER))
