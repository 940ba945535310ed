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
#define IDC_BUSY_BAR 5009
#define IDC_BUSY_TEXT 5013
