// The saved report: the six lines, the details, the signer, the certificate path and the
// files with their sizes and CRCs as one self-contained HTML page (UTF-8, styles inline, no
// script, no outside resource) in the preference language, for reading and printing.
#pragma once

#include <string>

#include "document/report/validation_report.h"

namespace Dossiq::Documents {

// The page; `savedAt` (ISO 8601 UTC) is the moment the footer names.
std::string ReportHtml(const ValidationReport& report, const std::wstring& savedAt);
// The report's file name for a container: its own name with ".html" added.
std::wstring ReportFileName(const std::wstring& containerPath);
// Writes the page for now to `file` through a temporary file renamed into place, replacing
// it; never over the container itself. False with the last error set.
bool SaveReportHtml(const ValidationReport& report, const std::wstring& file);

} // namespace Dossiq::Documents
