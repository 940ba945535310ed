#include "console/stamping_options.h"

#include "config/localization.h"
#include "config/preferences.h"
#include "console/commands.h"
#include "console/help_texts.h"
#include "document/report/timestamp_line.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"
#include "resources/console/resource.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace Dossiq::Console {

int StampingOptions::Read(const Arguments& arguments, bool signing, const CommandOutput& output) {
    const std::wstring mode = arguments.Value(L"--timestamp", L"optional");
    if (mode != L"required" && mode != L"optional" && mode != L"off") {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_TIMESTAMP_MODE));
    }
    required_ = mode == L"required";
    url_ = mode == L"off"
               ? std::wstring()
               : arguments.Value(L"--timestamp-url", Preferences::Instance().TimestampURL());
    if (signing && required_ && url_.empty()) {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_TIMESTAMP_NEEDS_URL));
    }
    if (!ParseLongTermMode(arguments.Value(L"--long-term", Preferences::Instance().LongTerm()),
                           longTerm_)) {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_LONG_TERM_MODE));
    }
    return kExitOk;
}

SignatureStamper StampingOptions::Stamper(const CommandOutput& output) {
    return TimestampStamper(url_, [this, &output](TimestampProblem problem) {
        timestampFailure_ =
            MHFX::FormatString(LoadLocalizedString(IDS_TIMESTAMP_FAILED), url_.c_str(),
                               LocalizedTimestampProblem(problem).c_str());
        if (!required_) {
            output.Err().Write(timestampFailure_ + L"\r\n");
        }
        return !required_;
    });
}

ValidationDataSource StampingOptions::Source(const CommandOutput& output) {
    return LongTermSource(longTerm_, [this, &output](const LongTermGap& gap) {
        if (longTerm_ == LongTermMode::Required) {
            longTermFailure_ = LongTermGapText(gap);
            return false;
        }
        output.Err().Write(LongTermGapText(gap) + L"\r\n");
        return true;
    });
}

std::wstring StampingOptions::Failure() const {
    return required_ && !timestampFailure_.empty() ? timestampFailure_ : longTermFailure_;
}

} // namespace Dossiq::Console
