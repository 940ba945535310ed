// The --timestamp, --timestamp-url and --long-term options that create and sign share, and
// what becomes of a timestamp or long-term data that cannot be had: "optional" signs after
// a line on standard error, "required" writes nothing and keeps the line for the error.
#pragma once

#include <string>

#include "console/arguments.h"
#include "console/command_output.h"
#include "document/timestamp/long_term_source.h"
#include "document/timestamp/signature_stamper.h"

namespace Dossiq::Console {

class StampingOptions {
public:
    StampingOptions() = default;
    // The stamper and the source refer to this object.
    StampingOptions(const StampingOptions&) = delete;
    StampingOptions& operator=(const StampingOptions&) = delete;

    // kExitOk when the options fit, else the exit code after saying why. Without `signing`
    // a required timestamp needs no service.
    int Read(const Arguments& arguments, bool signing, const CommandOutput& output);

    Documents::SignatureStamper Stamper(const CommandOutput& output);
    Documents::ValidationDataSource Source(const CommandOutput& output);
    // The line that stopped the signature, empty when nothing did.
    std::wstring Failure() const;

private:
    bool required_ = false;
    std::wstring url_;
    Documents::LongTermMode longTerm_ = Documents::LongTermMode::Optional;
    std::wstring timestampFailure_;
    std::wstring longTermFailure_;
};

} // namespace Dossiq::Console
