// Helpers of the console tests: running the real dossiq.exe with its output in files,
// reading its JSON through Python, and the test PKI's certificates by thumbprint.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "common/test_support.h"
#include "pki/test_pki.h"

namespace ConsoleTest {

struct Outcome {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out; // UTF-8
    std::string err;
    std::wstring outPath; // the file standard output went to
};

// Runs build/console/dossiq.exe with `arguments` (already quoted) in `dir`.
Outcome RunDossiq(const std::wstring& arguments, const std::wstring& dir);

// Every value of the JSON file as path=value, value as JSON ("\"passed\"", 12, null).
std::map<std::string, std::string> Flatten(const std::wstring& jsonPath);
// The value at `key` of a flattened JSON, "<missing>" when there is none.
std::string Value(const std::map<std::string, std::string>& json, const std::string& key);

// The program's test PKI. Kits that killed runs left in the prefix are removed first: their
// certificates carry the same names and e-mail addresses and would make every lookup by
// text ambiguous.
TestPki::Pki& Kit();

// The SHA-1 thumbprint of a kit certificate, as the program prints it.
std::wstring Thumbprint(const std::string& name);

std::wstring Quote(const std::wstring& text);

} // namespace ConsoleTest
