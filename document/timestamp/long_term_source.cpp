#include "document/timestamp/long_term_source.h"

#include <cwchar>

#include "config/localization.h"
#include "document/timestamp/timestamp_token.h"
#include "document/timestamp/validation_data_collector.h"
#include "foundation/resource_string.h"
#include "foundation/win32_exception.h"
#include "resources/common/localized_ids.h"

using namespace Dossiq::Config;

namespace Dossiq::Documents {

bool ParseLongTermMode(const std::wstring& text, LongTermMode& mode) {
    static const struct {
        const wchar_t* name;
        LongTermMode mode;
    } kModes[] = {{L"required", LongTermMode::Required},
                  {L"optional", LongTermMode::Optional},
                  {L"off", LongTermMode::Off}};
    for (const auto& known : kModes) {
        if (text == known.name) {
            mode = known.mode;
            return true;
        }
    }
    return false;
}

std::wstring LongTermGapText(const LongTermGap& gap) {
    if (gap.noTimestamp) {
        return LoadLocalizedString(IDS_LONG_TERM_NEEDS_TIMESTAMP);
    }
    std::wstring names;
    for (const std::wstring& name : gap.certificates) {
        names += (names.empty() ? L"" : L", ") + name;
    }
    std::wstring text =
        MHFX::FormatString(LoadLocalizedString(IDS_LONG_TERM_INCOMPLETE), names.c_str());
    SYSTEMTIME due = {};
    if ((gap.nextDue.dwHighDateTime || gap.nextDue.dwLowDateTime) &&
        ::FileTimeToSystemTime(&gap.nextDue, &due)) {
        wchar_t when[32];
        std::swprintf(when, 32, L"%04u-%02u-%02u %02u:%02u UTC", due.wYear, due.wMonth, due.wDay,
                      due.wHour, due.wMinute);
        text += L" " + MHFX::FormatString(LoadLocalizedString(IDS_LONG_TERM_DUE), when);
    }
    return text;
}

ValidationDataSource LongTermSource(LongTermMode mode, LongTermChoice onGap) {
    if (mode == LongTermMode::Off) {
        return {};
    }
    const bool required = mode == LongTermMode::Required;
    return [required, onGap](PCCERT_CONTEXT signer, const std::vector<BYTE>& token) {
        LongTermGap gap;
        ValidationData data;
        if (token.empty()) {
            if (!required) {
                return data;
            }
            gap.noTimestamp = true;
        } else {
            try {
                CollectedValidationData collected = CollectValidationData(signer, token);
                data = std::move(collected.data);
                gap.certificates = std::move(collected.missing);
                gap.nextDue = collected.nextDue;
            } catch (const TimestampError&) {
                throw MHFX::Win32Exception(static_cast<DWORD>(CRYPT_E_BAD_ENCODE));
            }
        }
        if ((gap.noTimestamp || !gap.certificates.empty()) && !(onGap && onGap(gap))) {
            throw MHFX::Win32Exception(ERROR_CANCELLED);
        }
        return data;
    };
}

} // namespace Dossiq::Documents
