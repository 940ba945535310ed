// Root of the Foundation library's exceptions: every failure of the library is reported
// by throwing one of these, by value, with a ready-made English message.
#pragma once

#include <string>

namespace MHFX {

class Exception {
public:
    explicit Exception(std::wstring message) : message_(std::move(message)) {}
    virtual ~Exception() = default;

    const std::wstring& Message() const { return message_; }

protected:
    Exception() = default;
    std::wstring message_;
};

} // namespace MHFX
