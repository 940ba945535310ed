#include "console/arguments.h"

#include "console/help_texts.h"
#include "resources/console/resource.h"

namespace Dossiq::Console {

bool Arguments::IsHelp(const std::wstring& arg) {
    return arg == L"--help" || arg == L"-h" || arg == L"/?" || arg == L"-?";
}

Arguments::Arguments(const std::vector<std::wstring>& args, const std::set<std::wstring>& flags,
                     const std::set<std::wstring>& valued) {
    bool operandsOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (operandsOnly || arg.size() < 2 || arg[0] != L'-') {
            if (!operandsOnly && IsHelp(arg)) {
                help_ = true;
            } else {
                operands_.push_back(arg);
            }
            continue;
        }
        if (arg == L"--") {
            operandsOnly = true;
            continue;
        }
        if (IsHelp(arg)) {
            help_ = true;
            continue;
        }
        std::wstring name = arg;
        std::wstring value;
        bool hasValue = false;
        const size_t equals = arg.find(L'=');
        if (equals != std::wstring::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            hasValue = true;
        }
        if (flags.count(name) && !hasValue) {
            options_[name].push_back(L"");
        } else if (valued.count(name)) {
            if (!hasValue) {
                if (i + 1 >= args.size()) {
                    error_ = ConsoleText(IDS_CONSOLE_OPTION_NEEDS_VALUE, {name});
                    return;
                }
                value = args[++i];
            }
            options_[name].push_back(value);
        } else {
            error_ = ConsoleText(IDS_CONSOLE_UNKNOWN_OPTION, {arg});
            return;
        }
    }
}

bool Arguments::Has(const std::wstring& option) const {
    return options_.count(option) != 0;
}

std::wstring Arguments::Value(const std::wstring& option, const std::wstring& fallback) const {
    const auto found = options_.find(option);
    return found == options_.end() ? fallback : found->second.back();
}

std::vector<std::wstring> Arguments::Values(const std::wstring& option) const {
    const auto found = options_.find(option);
    return found == options_.end() ? std::vector<std::wstring>() : found->second;
}

} // namespace Dossiq::Console
