// What a command writes through: its results on standard output, its errors and notes as
// "dossiq: ..." lines on standard error. The program hands over its console streams; a test
// hands over buffers and runs the command in its own process.
#pragma once

#include <string>

#include "console/output.h"

namespace Dossiq::Console {

class CommandOutput {
public:
    CommandOutput(Output& out, Output& err) : out_(out), err_(err) {}

    Output& Out() const { return out_; }
    Output& Err() const { return err_; }

    // Writes the line "dossiq: `message`" to standard error and returns `code`.
    int Fail(int code, const std::wstring& message) const;
    // Whether progress lines may be written: standard error is a console.
    bool ShowsProgress() const { return err_.IsConsole(); }

private:
    Output& out_;
    Output& err_;
};

} // namespace Dossiq::Console
