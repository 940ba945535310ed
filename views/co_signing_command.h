// Adding the user's signature to a Signed Document from a window, the Explorer's or the
// manager's: the signing certificate chosen as the create commands choose it, the busy
// dialog while the signature, its timestamp and long-term data are made (as the preferences
// say), and every way it ends told in a message box carrying the name `captionId`.
#pragma once

#include <windows.h>

#include <string>

namespace Dossiq::Views {

class CoSigningCommand {
public:
    CoSigningCommand(std::wstring path, HWND owner, UINT captionId);

    // True when the document now carries the new signature. Blocks while the network is
    // asked; never throws.
    bool Run() noexcept;

private:
    bool SignWithChosen();
    void Tell(UINT textId, UINT icon, const std::wstring& cause = {}) const;

    std::wstring path_;
    HWND owner_;
    UINT captionId_;
};

} // namespace Dossiq::Views
