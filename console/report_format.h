// How the console program writes validation reports: the JSON object of one container and
// the text lines of one container.
#pragma once

#include <string>

#include "console/json_writer.h"
#include "document/report/validation_report.h"

namespace Dossiq::Console {

// The container's object, as an element of the "containers" array.
void WriteReportJson(JsonWriter& json, const Documents::ValidationReport& report);

// "VERDICT  path  signer" and, indented, each check that did not pass with its reason.
std::wstring ReportText(const Documents::ValidationReport& report);

} // namespace Dossiq::Console
