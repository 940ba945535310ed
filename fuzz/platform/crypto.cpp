// The key-transport step of the native fuzzing build: every store holds one certificate
// whose private key opens any transported key to one fixed test key, and that key's cipher
// leaves the bytes as they are (with the block padding checked as the platform checks it).
// So the envelope parser is reached all the way to the content, with no real secret.
#include <windows.h>
#include <wincrypt.h>

#include <cstring>

namespace {

struct Key {
    bool contentKey;
    DWORD blockSize;
    BYTE iv[16];
};

CERT_INFO fakeInfo{};
CERT_CONTEXT fakeCertificate{X509_ASN_ENCODING, nullptr, 0, &fakeInfo, nullptr};

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// Reads every byte as the platform would, so that a bad pointer or length shows.
unsigned Touch(const BYTE* data, DWORD length) {
    unsigned sum = 0;
    for (DWORD i = 0; i < length; ++i) {
        sum += data[i];
    }
    return sum;
}

volatile unsigned sink;

} // namespace

BOOL CertCloseStore(HCERTSTORE, DWORD) {
    return TRUE;
}

BOOL CertFreeCertificateContext(PCCERT_CONTEXT) {
    return TRUE;
}

void CertFreeCertificateChain(PCCERT_CHAIN_CONTEXT) {}

BOOL CryptMsgClose(HCRYPTMSG) {
    return TRUE;
}

BOOL CryptReleaseContext(HCRYPTPROV, DWORD) {
    return TRUE;
}

BOOL CryptDestroyKey(HCRYPTKEY key) {
    delete reinterpret_cast<Key*>(key);
    return TRUE;
}

BOOL CryptDestroyHash(HCRYPTHASH) {
    return TRUE;
}

// Sealing is not fuzzed: it reads no stranger's bytes.
// The verify context a plain content key is imported into.
BOOL CryptAcquireContextW(HCRYPTPROV* provider, LPCWSTR, LPCWSTR, DWORD type, DWORD flags) {
    if (type != PROV_RSA_AES || !(flags & CRYPT_VERIFYCONTEXT)) {
        return Fail(ERROR_CALL_NOT_IMPLEMENTED);
    }
    *provider = 2;
    return TRUE;
}

BOOL CryptImportPublicKeyInfo(HCRYPTPROV, DWORD, CERT_PUBLIC_KEY_INFO*, HCRYPTKEY*) {
    return Fail(ERROR_CALL_NOT_IMPLEMENTED);
}

BOOL CryptGenKey(HCRYPTPROV, ALG_ID, DWORD, HCRYPTKEY*) {
    return Fail(ERROR_CALL_NOT_IMPLEMENTED);
}

BOOL CryptGenRandom(HCRYPTPROV, DWORD, BYTE*) {
    return Fail(ERROR_CALL_NOT_IMPLEMENTED);
}

BOOL CryptExportKey(HCRYPTKEY, HCRYPTKEY, DWORD, DWORD, BYTE*, DWORD*) {
    return Fail(ERROR_CALL_NOT_IMPLEMENTED);
}

BOOL CryptEncrypt(HCRYPTKEY, HCRYPTHASH, BOOL, DWORD, BYTE*, DWORD*, DWORD) {
    return Fail(ERROR_CALL_NOT_IMPLEMENTED);
}

PCCERT_CONTEXT CertFindCertificateInStore(HCERTSTORE, DWORD, DWORD, DWORD findType,
                                          const void* findPara, PCCERT_CONTEXT previous) {
    if (findType == CERT_FIND_SUBJECT_CERT) {
        const auto* info = static_cast<const CERT_INFO*>(findPara);
        sink = Touch(info->Issuer.pbData, info->Issuer.cbData) +
               Touch(info->SerialNumber.pbData, info->SerialNumber.cbData);
    } else if (findType == CERT_FIND_KEY_IDENTIFIER) {
        const auto* id = static_cast<const CRYPT_HASH_BLOB*>(findPara);
        sink = Touch(id->pbData, id->cbData);
    } else {
        SetLastError(static_cast<DWORD>(NTE_BAD_DATA));
        return nullptr;
    }
    if (previous != nullptr) {
        SetLastError(static_cast<DWORD>(CRYPT_E_NOT_FOUND));
        return nullptr;
    }
    return &fakeCertificate;
}

BOOL CryptAcquireCertificatePrivateKey(PCCERT_CONTEXT certificate, DWORD, void*,
                                       HCRYPTPROV* provider, DWORD* keySpec, BOOL* callerFrees) {
    if (certificate != &fakeCertificate) {
        return Fail(static_cast<DWORD>(NTE_BAD_KEYSET));
    }
    *provider = 1;
    *keySpec = AT_KEYEXCHANGE;
    *callerFrees = FALSE;
    return TRUE;
}

BOOL CryptGetUserKey(HCRYPTPROV provider, DWORD, HCRYPTKEY* key) {
    if (provider != 1) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    *key = reinterpret_cast<HCRYPTKEY>(new Key{false, 0, {}});
    return TRUE;
}

BOOL CryptImportKey(HCRYPTPROV provider, const BYTE* data, DWORD length, HCRYPTKEY publicKey, DWORD,
                    HCRYPTKEY* key) {
    constexpr DWORD header = sizeof(BLOBHEADER) + sizeof(ALG_ID);
    if (provider == 0 || provider > 2 || length <= header) {
        return Fail(static_cast<DWORD>(NTE_BAD_DATA));
    }
    sink = Touch(data, length);
    BLOBHEADER blob;
    std::memcpy(&blob, data, sizeof blob);
    // A wrapped key into the private key's provider, or a plain one into a verify context.
    if (!(blob.bType == SIMPLEBLOB && provider == 1 && publicKey != 0) &&
        !(blob.bType == PLAINTEXTKEYBLOB && provider == 2)) {
        return Fail(static_cast<DWORD>(NTE_BAD_DATA));
    }
    DWORD blockSize = 0;
    switch (blob.aiKeyAlg) {
    case CALG_3DES:
        blockSize = 8;
        break;
    case CALG_AES_128:
    case CALG_AES_192:
    case CALG_AES_256:
        blockSize = 16;
        break;
    default:
        return Fail(static_cast<DWORD>(NTE_BAD_ALGID));
    }
    *key = reinterpret_cast<HCRYPTKEY>(new Key{true, blockSize, {}});
    return TRUE;
}

BOOL CryptSetKeyParam(HCRYPTKEY handle, DWORD param, const BYTE* data, DWORD) {
    auto* key = reinterpret_cast<Key*>(handle);
    if (key == nullptr || !key->contentKey || param != KP_IV) {
        return Fail(static_cast<DWORD>(NTE_BAD_DATA));
    }
    std::memcpy(key->iv, data, key->blockSize); // the platform reads one block
    return TRUE;
}

BOOL CryptGetKeyParam(HCRYPTKEY handle, DWORD param, BYTE* data, DWORD* length, DWORD) {
    auto* key = reinterpret_cast<Key*>(handle);
    if (key == nullptr || key->contentKey || param != KP_KEYLEN || *length < sizeof(DWORD)) {
        return Fail(static_cast<DWORD>(NTE_BAD_TYPE));
    }
    const DWORD bits = 2048;
    std::memcpy(data, &bits, sizeof bits);
    *length = sizeof bits;
    return TRUE;
}

BOOL CryptDecrypt(HCRYPTKEY handle, HCRYPTHASH, BOOL final, DWORD, BYTE* data, DWORD* length) {
    auto* key = reinterpret_cast<Key*>(handle);
    if (key == nullptr) {
        return Fail(static_cast<DWORD>(NTE_BAD_KEY));
    }
    // The private key opens any transported key: its first 32 bytes.
    if (!key->contentKey) {
        sink = Touch(data, *length);
        if (*length < 32) {
            return Fail(static_cast<DWORD>(NTE_BAD_DATA));
        }
        *length = 32;
        return TRUE;
    }
    if (*length % key->blockSize != 0) {
        return Fail(static_cast<DWORD>(NTE_BAD_DATA));
    }
    sink = Touch(data, *length);
    if (!final) {
        return TRUE;
    }
    if (*length == 0) {
        return Fail(static_cast<DWORD>(NTE_BAD_DATA));
    }
    const BYTE pad = data[*length - 1];
    if (pad == 0 || pad > key->blockSize) {
        return Fail(static_cast<DWORD>(NTE_BAD_DATA));
    }
    for (DWORD i = 1; i <= pad; ++i) {
        if (data[*length - i] != pad) {
            return Fail(static_cast<DWORD>(NTE_BAD_DATA));
        }
    }
    *length -= pad;
    return TRUE;
}
