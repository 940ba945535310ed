// Resource ids of dossiqshell: the property page and its controls, icons, registry scripts,
// the manifest and the shell extension's own per-language strings.
#pragma once

#include "resources/common/localized_ids.h"

// Property page "Document" (dialog 204) and its controls.
#define IDD_DOCUMENT_PAGE 204
#define IDC_PAGE_VIEW_CERTIFICATE 207
#define IDC_PAGE_PICTURE 208
#define IDC_PAGE_HEADING 209
#define IDC_PAGE_SIGNER_NAME 212
#define IDC_PAGE_SIGNER_EMAIL 213
#define IDC_PAGE_REPORT 215
#define IDC_PAGE_DETAILS 216

// State pictures of the page (48 x 48) and menu icons (16 x 16).
#define IDI_PAGE_PASSED 106
#define IDI_PAGE_TAMPERED 107
#define IDI_PAGE_WARNING 108
#define IDI_PAGE_PROGRESS 109
#define IDI_MENU_PRODUCT 110
#define IDI_MENU_SIGNED 111
#define IDI_MENU_PROTECTED 112

// Registry scripts (type "REGISTRY") of the module and of the two classes.
#define IDR_MODULE_REGISTRY 101
#define IDR_CONTEXT_MENU_REGISTRY 102
#define IDR_PROPERTY_SHEET_REGISTRY 103

// Manifest that the module's own activation context is built from.
#define IDR_SHELL_MANIFEST 2

// Per-language strings of the shell extension only.
#define IDS_PROTECTION_FAILED 209
#define IDS_ENCRYPTION_FAILED 210
#define IDS_SELECT_RECIPIENT_CERTIFICATE 213
#define IDS_MENU_SIGN_QUICK 302
#define IDS_MENU_SIGN 303
#define IDS_MENU_PROTECT_QUICK 304
#define IDS_MENU_PROTECT 305
#define IDS_MENU_ENCRYPT_QUICK 306
#define IDS_MENU_ENCRYPT 307
#define IDS_HELP_SIGN_QUICK 312
#define IDS_HELP_SIGN 313
#define IDS_HELP_PROTECT_QUICK 314
#define IDS_HELP_PROTECT 315
#define IDS_HELP_ENCRYPT_QUICK 316
#define IDS_HELP_ENCRYPT 317
#define IDS_PAGE_HEADING 321
#define IDS_PAGE_NOT_TAMPERED 322
#define IDS_PAGE_TAMPERED 323
#define IDS_PAGE_VERIFYING_SIGNATURE 328
#define IDS_PAGE_VALIDATING_CERTIFICATE 329
