// The usage texts of dossiq.exe and its subcommands.
#pragma once

extern const wchar_t kMainHelp[];
extern const wchar_t kVerifyHelp[];
extern const wchar_t kListHelp[];
extern const wchar_t kExtractHelp[];
extern const wchar_t kCreateHelp[];
extern const wchar_t kCertsHelp[];
