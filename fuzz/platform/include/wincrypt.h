// The CryptoAPI types and calls the envelope code names, for the native fuzzing build. The
// certificate search and key transport are replaced by one fixed test key (see
// fuzz/platform/crypto.cpp); nothing here is real cryptography.
#pragma once

#include "windows.h"

using ALG_ID = unsigned int;
using HCRYPTPROV = ULONG_PTR;
using HCRYPTPROV_OR_NCRYPT_KEY_HANDLE = ULONG_PTR;
using HCRYPTKEY = ULONG_PTR;
using HCRYPTHASH = ULONG_PTR;
using HCERTSTORE = void*;
using HCRYPTMSG = void*;

struct CRYPT_INTEGER_BLOB {
    DWORD cbData;
    BYTE* pbData;
};
using CRYPT_DATA_BLOB = CRYPT_INTEGER_BLOB;
using CRYPT_HASH_BLOB = CRYPT_INTEGER_BLOB;
using CRYPT_OBJID_BLOB = CRYPT_INTEGER_BLOB;
using CERT_NAME_BLOB = CRYPT_INTEGER_BLOB;
struct CRYPT_BIT_BLOB {
    DWORD cbData;
    BYTE* pbData;
    DWORD cUnusedBits;
};
struct CRYPT_ALGORITHM_IDENTIFIER {
    LPSTR pszObjId;
    CRYPT_OBJID_BLOB Parameters;
};
struct CERT_PUBLIC_KEY_INFO {
    CRYPT_ALGORITHM_IDENTIFIER Algorithm;
    CRYPT_BIT_BLOB PublicKey;
};
struct CERT_INFO {
    DWORD dwVersion;
    CRYPT_INTEGER_BLOB SerialNumber;
    CRYPT_ALGORITHM_IDENTIFIER SignatureAlgorithm;
    CERT_NAME_BLOB Issuer;
    CERT_NAME_BLOB Subject;
    CERT_PUBLIC_KEY_INFO SubjectPublicKeyInfo;
};
using PCERT_INFO = CERT_INFO*;
struct CERT_CONTEXT {
    DWORD dwCertEncodingType;
    BYTE* pbCertEncoded;
    DWORD cbCertEncoded;
    PCERT_INFO pCertInfo;
    HCERTSTORE hCertStore;
};
using PCCERT_CONTEXT = const CERT_CONTEXT*;
struct CERT_CHAIN_CONTEXT;
using PCCERT_CHAIN_CONTEXT = const CERT_CHAIN_CONTEXT*;

struct BLOBHEADER {
    BYTE bType;
    BYTE bVersion;
    WORD reserved;
    ALG_ID aiKeyAlg;
};

constexpr DWORD X509_ASN_ENCODING = 0x1;
constexpr DWORD PKCS_7_ASN_ENCODING = 0x10000;
#define szOID_RSA_RSA "1.2.840.113549.1.1.1"

constexpr HRESULT CRYPT_E_ASN1_CORRUPT = static_cast<HRESULT>(0x80093104);
constexpr HRESULT CRYPT_E_UNKNOWN_ALGO = static_cast<HRESULT>(0x80091002);
constexpr HRESULT CRYPT_E_RECIPIENT_NOT_FOUND = static_cast<HRESULT>(0x8009100B);
constexpr HRESULT CRYPT_E_NOT_FOUND = static_cast<HRESULT>(0x80092004);
constexpr HRESULT CRYPT_E_INVALID_MSG_TYPE = static_cast<HRESULT>(0x80091004);
constexpr HRESULT NTE_BAD_DATA = static_cast<HRESULT>(0x80090005);
constexpr HRESULT NTE_BAD_KEY = static_cast<HRESULT>(0x80090003);
constexpr HRESULT NTE_BAD_LEN = static_cast<HRESULT>(0x80090004);
constexpr HRESULT NTE_BAD_KEYSET = static_cast<HRESULT>(0x80090016);
constexpr HRESULT NTE_BAD_ALGID = static_cast<HRESULT>(0x80090008);

constexpr ALG_ID CALG_3DES = 0x6603;
constexpr ALG_ID CALG_AES_128 = 0x660E;
constexpr ALG_ID CALG_AES_192 = 0x660F;
constexpr ALG_ID CALG_AES_256 = 0x6610;
constexpr ALG_ID CALG_RSA_KEYX = 0xA400;
constexpr DWORD PROV_RSA_AES = 24;
constexpr DWORD CRYPT_VERIFYCONTEXT = 0xF0000000;
constexpr DWORD CRYPT_SILENT = 0x40;
constexpr DWORD CRYPT_EXPORTABLE = 0x1;
constexpr DWORD KP_IV = 1;
constexpr BYTE SIMPLEBLOB = 0x1;
constexpr BYTE PLAINTEXTKEYBLOB = 0x8;
constexpr BYTE CUR_BLOB_VERSION = 2;
constexpr DWORD AT_KEYEXCHANGE = 1;
constexpr DWORD AT_SIGNATURE = 2;
constexpr DWORD CERT_NCRYPT_KEY_SPEC = 0xFFFFFFFF;
constexpr DWORD CRYPT_ACQUIRE_ALLOW_NCRYPT_KEY_FLAG = 0x10000;
constexpr DWORD CERT_FIND_SUBJECT_CERT = 0x000B0000;
constexpr DWORD CERT_FIND_KEY_IDENTIFIER = 0x000F0000;
constexpr DWORD CERT_KEY_PROV_INFO_PROP_ID = 2;
constexpr DWORD CERT_KEY_CONTEXT_PROP_ID = 5;
constexpr DWORD CRYPT_OAEP = 0x40;
constexpr DWORD KP_KEYLEN = 9;
constexpr HRESULT NTE_BAD_TYPE = static_cast<HRESULT>(0x8009000A);
BOOL CryptGetKeyParam(HCRYPTKEY key, DWORD param, BYTE* data, DWORD* length, DWORD flags);

// Every certificate of the shim's stores has its key.
inline BOOL CertGetCertificateContextProperty(PCCERT_CONTEXT, DWORD, void*, DWORD* length) {
    *length = 0;
    return TRUE;
}

BOOL CertCloseStore(HCERTSTORE store, DWORD flags);
BOOL CertFreeCertificateContext(PCCERT_CONTEXT context);
void CertFreeCertificateChain(PCCERT_CHAIN_CONTEXT chain);
BOOL CryptMsgClose(HCRYPTMSG message);
BOOL CryptReleaseContext(HCRYPTPROV provider, DWORD flags);
BOOL CryptDestroyKey(HCRYPTKEY key);
BOOL CryptDestroyHash(HCRYPTHASH hash);

BOOL CryptAcquireContextW(HCRYPTPROV* provider, LPCWSTR container, LPCWSTR providerName, DWORD type,
                          DWORD flags);
BOOL CryptImportPublicKeyInfo(HCRYPTPROV provider, DWORD encoding, CERT_PUBLIC_KEY_INFO* info,
                              HCRYPTKEY* key);
BOOL CryptGenKey(HCRYPTPROV provider, ALG_ID algorithm, DWORD flags, HCRYPTKEY* key);
BOOL CryptGenRandom(HCRYPTPROV provider, DWORD length, BYTE* buffer);
BOOL CryptSetKeyParam(HCRYPTKEY key, DWORD param, const BYTE* data, DWORD flags);
BOOL CryptExportKey(HCRYPTKEY key, HCRYPTKEY exchangeKey, DWORD type, DWORD flags, BYTE* data,
                    DWORD* length);
BOOL CryptEncrypt(HCRYPTKEY key, HCRYPTHASH hash, BOOL final, DWORD flags, BYTE* data,
                  DWORD* length, DWORD capacity);
BOOL CryptDecrypt(HCRYPTKEY key, HCRYPTHASH hash, BOOL final, DWORD flags, BYTE* data,
                  DWORD* length);
PCCERT_CONTEXT CertFindCertificateInStore(HCERTSTORE store, DWORD encoding, DWORD findFlags,
                                          DWORD findType, const void* findPara,
                                          PCCERT_CONTEXT previous);
BOOL CryptAcquireCertificatePrivateKey(PCCERT_CONTEXT certificate, DWORD flags, void* parameters,
                                       HCRYPTPROV* provider, DWORD* keySpec, BOOL* callerFrees);
BOOL CryptGetUserKey(HCRYPTPROV provider, DWORD keySpec, HCRYPTKEY* key);
BOOL CryptImportKey(HCRYPTPROV provider, const BYTE* data, DWORD length, HCRYPTKEY publicKey,
                    DWORD flags, HCRYPTKEY* key);
