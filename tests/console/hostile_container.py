# A Signed Document as a hostile sender makes it: entry names and the signer's common name
# carry an escape sequence, CR/LF, a right-to-left override and markup; the signer is issued by the
# test PKI's CA. hostile_container.py CA_CERT CA_KEY OUT.snx
import datetime
import io
import sys
import zipfile

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.hazmat.primitives.serialization import pkcs7
from cryptography.x509.oid import NameOID

NAMES = ["red\x1b[31m.txt", "line\r\nPASSED forged.txt", "invoice\u202efdp.exe",
         "<img src=x onerror=alert(1)>.txt", "a.txt", "A.txt"]
SIGNER = "Eve\x1b[2K\r\nPASSED \u202eevE"

ca_cert = x509.load_pem_x509_certificate(open(sys.argv[1], "rb").read())
ca_key = serialization.load_pem_private_key(open(sys.argv[2], "rb").read(), None)
key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
now = datetime.datetime.now(datetime.timezone.utc)
cert = (
    x509.CertificateBuilder()
    .subject_name(x509.Name([x509.NameAttribute(NameOID.COUNTRY_NAME, "RS"),
                             x509.NameAttribute(NameOID.COMMON_NAME, SIGNER)]))
    .issuer_name(ca_cert.subject)
    .public_key(key.public_key())
    .serial_number(x509.random_serial_number())
    .not_valid_before(now - datetime.timedelta(days=1))
    .not_valid_after(now + datetime.timedelta(days=30))
    .add_extension(x509.KeyUsage(True, True, False, False, False, False, False, False, False),
                   critical=True)
    .sign(ca_key, hashes.SHA256())
)

archive = io.BytesIO()
with zipfile.ZipFile(archive, "w") as z:
    for index, name in enumerate(NAMES):
        z.writestr(name, f"content {index}\n")
signed = (
    pkcs7.PKCS7SignatureBuilder()
    .set_data(archive.getvalue())
    .add_signer(cert, key, hashes.SHA256())
    .sign(serialization.Encoding.DER, [pkcs7.PKCS7Options.Binary])
)
open(sys.argv[3], "wb").write(signed)
