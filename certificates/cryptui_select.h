// The certificate selection dialog of cryptui, which the mingw-w64 headers do not declare.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <prsht.h>

extern "C" {

typedef BOOL(WINAPI* PFNCFILTERPROC)(PCCERT_CONTEXT certificate, BOOL* initiallySelected,
                                     void* callbackData);
typedef BOOL(WINAPI* PFNCCERTDISPLAYPROC)(PCCERT_CONTEXT certificate, HWND dialog,
                                          void* callbackData);

typedef struct tagCRYPTUI_SELECTCERTIFICATE_STRUCTW {
    DWORD dwSize;
    HWND hwndParent;
    DWORD dwFlags;
    LPCWSTR szTitle;
    DWORD dwDontUseColumn;
    LPCWSTR szDisplayString;
    PFNCFILTERPROC pFilterCallback;
    PFNCCERTDISPLAYPROC pDisplayCallback;
    void* pvCallbackData;
    DWORD cDisplayStores;
    HCERTSTORE* rghDisplayStores;
    DWORD cStores;
    HCERTSTORE* rghStores;
    DWORD cPropSheetPages;
    LPCPROPSHEETPAGEW rgPropSheetPages;
    HCERTSTORE hSelectedCertStore;
} CRYPTUI_SELECTCERTIFICATE_STRUCTW;

__declspec(dllimport) PCCERT_CONTEXT WINAPI
    CryptUIDlgSelectCertificateW(const CRYPTUI_SELECTCERTIFICATE_STRUCTW* select);
}
