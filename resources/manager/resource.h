// Resource ids of VantorManager: menu and toolbar commands, dialogs and their controls,
// icons and the manager's own per-language strings. A string whose id equals a command id
// holds the command's status text and, after a line feed, its tooltip.
#pragma once

#include "resources/common/localized_ids.h"

// Program icon, main menu and toolbar 128 (32-bit images with alpha, 32 x 32 buttons).
#define IDR_MAINFRAME 128
// Toolbar 129 for systems before Windows XP: 24-bit images, magenta RGB(255, 0, 255)
// marks the transparent pixels.
#define IDR_TOOLBAR_CLASSIC 129
// Toolbar 128's images for 125, 150 and 200 % (40, 48 and 64 pixel buttons).
#define IDB_TOOLBAR_40 130
#define IDB_TOOLBAR_48 131
#define IDB_TOOLBAR_64 132

// Dialogs.
#define IDD_ABOUTBOX 100
#define IDD_SIGNATURE_REPORT 101
#define IDD_CERTIFICATE_PATH 102

// Controls of the report pane (dialog 101).
#define IDC_REPORT_PICTURE 1001
#define IDC_REPORT_TEXT 1002
// The details under the lines, shown when there are any.
#define IDC_REPORT_DETAILS 1003

// Controls of the certificate path (dialog 102).
#define IDC_PATH_TREE 1010
#define IDC_PATH_VIEW 1011
#define IDC_PATH_STATUS 1012

// State pictures of the report pane (48 x 48), in image-list order 202, 203, 204, 205, 201, 206.
#define IDI_STATE_TAMPERED 201
#define IDI_STATE_QUALIFIED 202
#define IDI_STATE_QUALIFIED_HOT 203
#define IDI_STATE_WARNING 204
#define IDI_STATE_WARNING_HOT 205
#define IDI_STATE_PROGRESS 206

// Icons of the file types .snx and .pnx, referred to by their registration as
// "VantorManager.exe,-211" and ",-212".
#define IDI_DOCUMENT_SIGNED 211
#define IDI_DOCUMENT_PROTECTED 212

// Commands.
#define ID_ACTION_EXTRACT 32776
#define ID_ACTION_EXTRACT_TO 32777
#define ID_ACTION_EXTRACT_ALL 32778
#define ID_ACTION_EXTRACT_ALL_TO 32779
#define ID_ACTION_VIEW 32780
#define ID_LANGUAGE_ENGLISH 32782
#define ID_LANGUAGE_SERBIAN_LATIN 32783
#define ID_LANGUAGE_SERBIAN_CYRILLIC 32784
#define ID_HELP_MANUAL 32785
#define ID_ACTION_CERTIFICATE_PATH 32786
#define ID_ACTION_SAVE_REPORT 32787
#define ID_ACTION_ADD_LONG_TERM 32795
#define ID_ACTION_ADD_SIGNATURE 32796
#define IDS_EXTENDING_TITLE 270
#define IDS_EXTENDING_DESCRIPTION 271
#define IDS_EXTENDED 272
#define IDS_EXTEND_INCOMPLETE 273
#define IDS_EXTEND_FAILED 274
#define ID_FILE_OPEN 57601
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665

// Per-language strings of the manager only.
#define IDS_NOT_TAMPERED 230
#define IDS_TAMPERED 231
#define IDS_RESTART_FOR_LANGUAGE 235
#define IDS_COLUMN_FILE_NAME 236
#define IDS_COLUMN_LOCATION 237
#define IDS_COLUMN_SIZE 238
#define IDS_SELECT_DESTINATION 239
#define IDS_VERIFYING_SIGNATURE 240
#define IDS_VALIDATING_CERTIFICATE 241
#define IDS_PREFERENCES_FAILED 242
#define IDS_SAVE_REPORT_FILTER 243
#define IDS_REPORT_NOT_SAVED 244
// Names read by assistive technology: the file list, the report and the state picture's
// verdict in words.
#define IDS_FILE_LIST_NAME 245
#define IDS_REPORT_NAME 246
#define IDS_VERDICT_QUALIFIED 247
#define IDS_VERDICT_WARNING 248
#define IDS_VERDICT_TAMPERED 249
#define IDS_VERDICT_IN_PROGRESS 250
#define IDS_FOLDER_TOO_LONG 251
