/* A cryptographic service provider whose keys cancel every signature, as a smart card does
 * when the user closes its PIN prompt. Everything else is the platform's enhanced RSA and
 * AES provider, to which the other entry points are forwarded (cancelling_provider.def). */
#include <windows.h>
#include <wincrypt.h>

/* The table the platform hands a provider when it acquires a context. */
typedef struct {
    DWORD version;
    FARPROC verifyImage;
    FARPROC returnWindow;
    DWORD providerType;
    BYTE* contextInfo;
    DWORD contextInfoLength;
    LPSTR providerName;
} ProviderTable;

typedef BOOL(WINAPI* AcquireContext)(HCRYPTPROV*, LPSTR, DWORD, ProviderTable*);

BOOL WINAPI CPAcquireContext(HCRYPTPROV* provider, LPSTR container, DWORD flags,
                             ProviderTable* table);
BOOL WINAPI CPSignHash(void);

/* Under its own name the platform's provider would act as its oldest edition, without
 * SHA-2: it is told the name of the one that has it. The table outlives the context. */
BOOL WINAPI CPAcquireContext(HCRYPTPROV* provider, LPSTR container, DWORD flags,
                             ProviderTable* table) {
    static ProviderTable enhanced;
    const HMODULE platform = LoadLibraryW(L"rsaenh.dll");
    const AcquireContext acquire =
        platform ? (AcquireContext)(void*)GetProcAddress(platform, "CPAcquireContext") : NULL;
    if (!acquire || !table) {
        SetLastError(NTE_PROVIDER_DLL_FAIL);
        return FALSE;
    }
    enhanced = *table;
    enhanced.providerType = PROV_RSA_AES;
    enhanced.providerName = (LPSTR)MS_ENH_RSA_AES_PROV_A;
    return acquire(provider, container, flags, &enhanced);
}

BOOL WINAPI CPSignHash(void) {
    SetLastError(ERROR_CANCELLED);
    return FALSE;
}
