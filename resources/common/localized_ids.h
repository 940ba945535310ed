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
#define IDS_TIMESTAMP_USED 560
#define IDS_TIMESTAMP_NOT_USED 561
// 562 to 569: the reasons, 561 + TimestampProblem.
#define IDS_TIMESTAMP_PROBLEM_BASE 561
#define IDS_TIMESTAMP_ASK_UNSTAMPED 570
#define IDS_TIMESTAMP_FAILED 571
#define IDS_SIGNING_TITLE 601
#define IDS_SIGNING_DESCRIPTION 602
#define IDS_PROTECTING_TITLE 603
#define IDS_PROTECTING_DESCRIPTION 604
#define IDS_ENCRYPTING_TITLE 605
#define IDS_ENCRYPTING_DESCRIPTION 606
#define IDS_KIND_SIGNED 611
#define IDS_KIND_PROTECTED 612
#define IDS_KIND_ENCRYPTED 613

// Archive progress dialog (neutral): file name line and progress bar.
#define IDD_ARCHIVE_PROGRESS 501
#define IDC_ARCHIVE_PROGRESS_TEXT 5001
#define IDC_ARCHIVE_PROGRESS_BAR 5002

// Busy dialog (neutral): description and marquee progress bar.
#define IDD_BUSY 503
#define IDC_BUSY_BAR 5009
#define IDC_BUSY_TEXT 5013
