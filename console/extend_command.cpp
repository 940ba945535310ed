#include "console/commands.h"
#include "console/container_search.h"
#include "console/help_texts.h"
#include "document/operations/long_term_extension.h"
#include "resources/console/resource.h"

using namespace Dossiq::Documents;

namespace Dossiq::Console {

namespace {

std::wstring Join(const std::vector<std::wstring>& names) {
    std::wstring text;
    for (const std::wstring& name : names) {
        text += (text.empty() ? L"" : L", ") + name;
    }
    return text;
}

// Says what became of `path`; whether it now holds all the data it can.
bool Tell(const std::wstring& path, const ExtensionResult& result, const CommandOutput& output) {
    Output& out = output.Out();
    switch (result.outcome) {
    case ExtensionOutcome::Extended:
    case ExtensionOutcome::Unchanged:
        if (result.missing.empty()) {
            out.Write(ConsoleText(result.outcome == ExtensionOutcome::Extended
                                      ? IDS_CONSOLE_EXTENDED
                                      : IDS_CONSOLE_EXTEND_COMPLETE,
                                  {path}) +
                      L"\r\n");
            return true;
        }
        out.Write(ConsoleText(IDS_CONSOLE_EXTEND_INCOMPLETE, {path, Join(result.missing)}) +
                  L"\r\n");
        return false;
    case ExtensionOutcome::Enveloped:
        output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_EXTEND_ENVELOPED, {path}));
        return false;
    case ExtensionOutcome::NoTimestamp:
        output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_EXTEND_NO_TIMESTAMP, {path}));
        return false;
    case ExtensionOutcome::Tampered:
        output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_EXTEND_TAMPERED, {path}));
        return false;
    case ExtensionOutcome::Unreadable:
        output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_CANNOT_DECODE, {path}));
        return false;
    case ExtensionOutcome::WriteFailed:
        output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_EXTEND_NOT_WRITTEN, {path}));
        return false;
    }
    return false;
}

} // namespace

int ExtendCommand(const Arguments& arguments, const CommandOutput& output) {
    std::vector<std::wstring> paths;
    const bool found =
        CollectContainers(arguments.Operands(), arguments.Has(L"--recursive"), paths, output);
    bool complete = true;
    for (const std::wstring& path : paths) {
        complete = Tell(path, ExtendLongTermData(path), output) && complete;
    }
    if (!found) {
        return kExitUsage;
    }
    return complete ? kExitOk : kExitFailed;
}

} // namespace Dossiq::Console
