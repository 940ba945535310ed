#include "document/report/timestamp_line.h"

#include "config/localization.h"
#include "foundation/resource_string.h"
#include "foundation/text/readable_text.h"
#include "resources/common/localized_ids.h"

using namespace Dossiq::Config;

namespace Dossiq::Documents {

namespace {

// "2026-12-07T17:08:34Z" as "2026-12-07 17:08:34 UTC".
std::wstring Readable(std::wstring iso) {
    if (iso.size() == 20 && iso[10] == L'T' && iso[19] == L'Z') {
        iso[10] = L' ';
        iso.replace(19, 1, L" UTC");
    }
    return iso;
}

} // namespace

std::wstring LocalizedTimestampProblem(TimestampProblem problem) {
    const UINT number = static_cast<UINT>(problem);
    const UINT first = static_cast<UINT>(TimestampProblem::WeakAlgorithm);
    return LoadLocalizedString(number < first ? IDS_TIMESTAMP_PROBLEM_BASE + number
                                              : IDS_TIMESTAMP_PROBLEM_MORE + number - first);
}

std::wstring TimestampLineText(const TimestampReport& timestamp) {
    if (!timestamp.present) {
        return {};
    }
    if (timestamp.used) {
        return MHFX::FormatString(LoadLocalizedString(IDS_TIMESTAMP_USED),
                                  Readable(timestamp.time).c_str(),
                                  MHFX::ReadableText(timestamp.authority).c_str());
    }
    return MHFX::FormatString(LoadLocalizedString(IDS_TIMESTAMP_NOT_USED),
                              LocalizedTimestampProblem(timestamp.problem).c_str());
}

} // namespace Dossiq::Documents
