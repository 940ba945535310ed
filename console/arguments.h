// A subcommand's arguments: the options it knows (flags, and options taking a value, which
// may repeat) and the operands. "--name value" and "--name=value" are both read; "--help",
// "-h" and "/?" ask for help.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace Dossiq::Console {

class Arguments {
public:
    // Reads `args`; Error() is non-empty when they do not fit the options.
    Arguments(const std::vector<std::wstring>& args, const std::set<std::wstring>& flags,
              const std::set<std::wstring>& valued);

    bool Has(const std::wstring& option) const;
    // The last value given, or `fallback`.
    std::wstring Value(const std::wstring& option, const std::wstring& fallback = {}) const;
    std::vector<std::wstring> Values(const std::wstring& option) const;
    const std::vector<std::wstring>& Operands() const { return operands_; }
    bool WantsHelp() const { return help_; }
    const std::wstring& Error() const { return error_; }

    static bool IsHelp(const std::wstring& arg);

private:
    std::map<std::wstring, std::vector<std::wstring>> options_;
    std::vector<std::wstring> operands_;
    bool help_ = false;
    std::wstring error_;
};

} // namespace Dossiq::Console
