// Ids of the resources both deliverables carry besides the neutral string table: the
// per-language strings shared by the manager and the shell extension, and the two
// language-neutral progress dialogs of the document layer.
#pragma once

#include "resources/common/neutral_ids.h"

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Per-language strings (languages 1033, 2074, 3098).
#define IDS_EXTRACTION_FAILED 502
#define IDS_COMPRESSING 504
#define IDS_UNCOMPRESSING 505
#define IDS_LANGUAGE_NAME_ENGLISH 507
#define IDS_LANGUAGE_NAME_SERBIAN_LATIN 508
#define IDS_LANGUAGE_NAME_SERBIAN_CYRILLIC 509
#define IDS_CONTENT_TOO_LARGE 510
#define IDS_VALIDITY_PASSED 512
#define IDS_VALIDITY_FAILED 513
#define IDS_VALIDITY_SKIPPED 514
#define IDS_CHAIN_PASSED 515
#define IDS_CHAIN_FAILED 516
#define IDS_CHAIN_SKIPPED 517
#define IDS_CRL_PASSED 518
#define IDS_CRL_FAILED 519
#define IDS_CRL_SKIPPED 520
#define IDS_REVOCATION_PASSED 521
#define IDS_REVOCATION_FAILED 522
#define IDS_REVOCATION_SKIPPED 523
#define IDS_QUALIFIED_PASSED 524
#define IDS_QUALIFIED_FAILED 525
#define IDS_QUALIFIED_SKIPPED 526
#define IDS_OUTDATED_SIGNATURE 527
#define IDS_SIGNING_KEY_HASH_UNSUPPORTED 528
#define IDS_ITEM_NOT_PACKED 540
#define IDS_ITEM_IN_USE 541
#define IDS_ITEM_OVER_4GB 542
#define IDS_TOO_MANY_ITEMS 543
#define IDS_ENTRY_NAME_INVALID 550
#define IDS_ENTRY_PATH_TOO_LONG 551
// Extraction and viewing: replacing files, the open container, opening with care.
#define IDS_OVERWRITE_QUESTION 570
#define IDS_OVERWRITE_REPLACE 571
#define IDS_OVERWRITE_REPLACE_ALL 572
#define IDS_OVERWRITE_SKIP 573
#define IDS_OVERWRITE_CANCEL 574
#define IDS_OPEN_CONTAINER_SKIPPED 575
#define IDS_VIEW_DANGEROUS 576
#define IDS_VIEW_UNVERIFIED 577
#define IDS_EXTRACT_MADE_VISIBLE 578
// 1410 to 1414: View's question when a check failed, 1410 + ReportCheck.
#define IDS_VIEW_CHECK_FAILED_BASE 1410
#define IDS_VIEW_NOT_CHECKED 1415
#define IDS_VIEW_STILL_CHECKING 1416
// Timestamps: the report line, the reasons and the signing questions.
#define IDS_TIMESTAMP_USED 580
#define IDS_TIMESTAMP_NOT_USED 581
// 582 to 589: the reasons, 581 + TimestampProblem.
#define IDS_TIMESTAMP_PROBLEM_BASE 581
// 1400 to 1405: the reasons from TimestampProblem::WeakAlgorithm on.
#define IDS_TIMESTAMP_PROBLEM_MORE 1400
#define IDS_TIMESTAMP_ASK_UNSTAMPED 590
#define IDS_TIMESTAMP_FAILED 591
// Long-term validation data at signing.
#define IDS_LONG_TERM_INCOMPLETE 596
#define IDS_LONG_TERM_NEEDS_TIMESTAMP 597
#define IDS_LONG_TERM_DUE 598
#define IDS_SIGNING_TITLE 601
#define IDS_SIGNING_DESCRIPTION 602
#define IDS_PROTECTING_TITLE 603
#define IDS_PROTECTING_DESCRIPTION 604
#define IDS_ENCRYPTING_TITLE 605
#define IDS_ENCRYPTING_DESCRIPTION 606
#define IDS_KIND_SIGNED 611
#define IDS_KIND_PROTECTED 612
#define IDS_KIND_ENCRYPTED 613
#define IDS_RECIPIENT_NOT_TIME_VALID 560
#define IDS_RECIPIENT_UNTRUSTED 561
#define IDS_RECIPIENT_REVOKED 562
#define IDS_RECIPIENT_CHAIN_INVALID 563
#define IDS_RECIPIENT_ASK_GO_ON 564
#define IDS_RECIPIENT_NO_KEY_ENCIPHERMENT 565

// The details under a report (title, text and advice of each kind from IDS_DETAIL_FIRST, in
// the order of DetailKind) and the saved report.
#define IDS_DETAILS_HEADING 1200
#define IDS_DETAIL_ADVICE_LABEL 1201
#define IDS_DETAIL_MONTHS 1202
#define IDS_DETAIL_DATE 1203
#define IDS_DETAIL_DAY_ONE 1204
#define IDS_DETAIL_DAYS 1205
#define IDS_DETAIL_CHECK_NAMES 1206
#define IDS_DETAIL_REVOCATION_REASONS 1207
#define IDS_DETAIL_UNKNOWN 1208
#define IDS_DETAIL_CHAIN_WORDS 1209
#define IDS_DETAIL_CHAIN_OK 1210
#define IDS_HTML_TITLE 1211
#define IDS_HTML_CHECKED 1212
#define IDS_HTML_SIGNER 1213
#define IDS_HTML_SIGNER_FIELDS 1214
#define IDS_HTML_CHAIN 1215
#define IDS_HTML_FILES 1216
#define IDS_HTML_FILE_COLUMNS 1217
#define IDS_HTML_FOOTER 1218
#define IDS_HTML_RESULT 1219
#define IDS_HTML_NO_DETAILS 1220
#define IDS_HTML_NOT_TAMPERED 1221
#define IDS_HTML_TAMPERED 1222
#define IDS_HTML_CONTAINER 1223
#define IDS_HTML_NOT_CHECKED 1224
// In place of the tampered line, in every deliverable.
#define IDS_UNSUPPORTED_ALGORITHM 1225
#define IDS_DETAIL_FIRST 1230

// Archive progress dialog (neutral): file name line and progress bar.
#define IDD_ARCHIVE_PROGRESS 501
#define IDC_ARCHIVE_PROGRESS_TEXT 5001
#define IDC_ARCHIVE_PROGRESS_BAR 5002

// Question before replacing a file (neutral): text, icon and four answers.
#define IDD_OVERWRITE_QUESTION 570
#define IDC_OVERWRITE_TEXT 5030
#define IDC_OVERWRITE_ICON 5031
#define IDC_OVERWRITE_ALL 5032

// Busy dialog (neutral): description and marquee progress bar.
#define IDD_BUSY 503

// A signing that failed, with the cause.
#define IDS_SIGNING_FAILED 208
// Adding the user's signature to a Signed Document from the Explorer or the manager.
#define IDS_ADD_SIGNATURE 1340
#define IDS_ADD_SIGNATURE_HELP 1341
#define IDS_ADD_SIGNATURE_PROTECTED 1342
#define IDS_ADD_SIGNATURE_ALREADY 1343
#define IDS_ADD_SIGNATURE_TAMPERED 1344
#define IDS_ADD_SIGNATURE_UNREADABLE 1345
#define IDS_ADD_SIGNATURE_NOT_WRITTEN 1346
#define IDS_ADD_SIGNATURE_DONE 1347
// The choice of the signature the report shows, and its name for screen readers.
#define IDS_SIGNATURE_CHOICE 1348
#define IDS_COUNTERSIGNATURE_CHOICE 1349
#define IDS_SIGNATURE_CHOICE_NAME 1350
// The choice of the signing certificate and of the recipients.
#define IDS_SELECT_CERTIFICATE_TITLE 211
#define IDS_SELECT_SIGNING_CERTIFICATE 212
#define IDS_NO_SIGNING_CERTIFICATE 330
#define IDS_NO_RECIPIENT_CERTIFICATE 331
#define IDS_RECIPIENTS_TITLE 340
#define IDS_RECIPIENTS_SEARCH 341
#define IDS_RECIPIENTS_LIST 342
#define IDS_RECIPIENTS_NAME 343
#define IDS_RECIPIENTS_EMAIL 344
#define IDS_RECIPIENTS_VALID_TO 345
#define IDS_RECIPIENTS_FOR_ME 346
#define IDS_RECIPIENTS_OK 347
#define IDS_RECIPIENTS_CANCEL 348
#define IDS_NO_OWN_RECIPIENT 349
// The choice of recipients (dialog 206) and its controls.
#define IDD_RECIPIENT_CHOICE 206
#define IDC_RECIPIENT_SEARCH_LABEL 2201
#define IDC_RECIPIENT_SEARCH 2202
#define IDC_RECIPIENT_LIST_LABEL 2203
#define IDC_RECIPIENT_LIST 2204
#define IDC_RECIPIENT_FOR_ME 2205
#define IDC_BUSY_BAR 5009
#define IDC_BUSY_TEXT 5013
