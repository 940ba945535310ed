// Builds a validation report: copies the document's and the checker's codes and facts into
// it, one signature at a time. No sentence is written here (see check_reason.h).
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "document/report/validation_report.h"

namespace Dossiq::Documents {

class Document;
struct EntryListing;

// Opens the container at `path` as the current user and runs the checks the manager runs.
// Never throws; a check that cannot be run reads as failed with the platform's text.
// Every signature is described and checked.
ValidationReport BuildValidationReport(const std::wstring& path);

// What the document itself shows, opening it first if nobody has: kind, decoding, signers,
// recipients and entries. The checks are left for RunChecks; never throws. It reads files
// and stores and may go to the network (the timestamp): a worker's job.
ValidationReport DescribeDocument(Document& document);
// The same over the walk of the document's archive made already.
ValidationReport DescribeDocument(Document& document, const EntryListing& listing);
// The five checks of each signature that decoded untouched and the facts behind them, into a
// report DescribeDocument made; `signer` is the selected signature's certificate. May block
// on the network; never throws.
void RunChecks(PCCERT_CONTEXT signer, ValidationReport& report);

} // namespace Dossiq::Documents
