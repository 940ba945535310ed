#include "views/signing_prompts.h"

#include "config/localization.h"
#include "config/preferences.h"
#include "document/report/timestamp_line.h"
#include "document/timestamp/long_term_source.h"
#include "document/timestamp/signature_stamper.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace Dossiq::Views {

SignatureStamper AskingStamper(bool& declined, UINT captionId) {
    const std::wstring url = Preferences::Instance().TimestampURL();
    return TimestampStamper(url, [url, &declined, captionId](TimestampProblem problem) {
        const std::wstring text =
            MHFX::FormatString(LoadLocalizedString(IDS_TIMESTAMP_ASK_UNSTAMPED), url.c_str(),
                               LocalizedTimestampProblem(problem).c_str());
        declined = ::MessageBoxW(nullptr, text.c_str(), MHFX::LoadNeutralString(captionId).c_str(),
                                 MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND) != IDYES;
        return !declined;
    });
}

ValidationDataSource TellingLongTermSource(UINT captionId) {
    LongTermMode mode = LongTermMode::Optional;
    ParseLongTermMode(Preferences::Instance().LongTerm(), mode);
    return LongTermSource(mode, [mode, captionId](const LongTermGap& gap) {
        const bool required = mode == LongTermMode::Required;
        ::MessageBoxW(nullptr, LongTermGapText(gap).c_str(),
                      MHFX::LoadNeutralString(captionId).c_str(),
                      MB_OK | (required ? MB_ICONERROR : MB_ICONWARNING) | MB_SETFOREGROUND);
        return !required;
    });
}

} // namespace Dossiq::Views
