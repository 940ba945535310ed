// An Output that keeps what a command wrote, for running commands in the test process.
#pragma once

#include <string>

#include "console/output.h"

namespace ConsoleTest {

class CapturedOutput : public Dossiq::Console::Output {
public:
    bool Write(const std::wstring& text) override {
        text_ += text;
        return true;
    }
    bool IsConsole() const override { return false; }
    const std::wstring& Text() const { return text_; }

private:
    std::wstring text_;
};

} // namespace ConsoleTest
