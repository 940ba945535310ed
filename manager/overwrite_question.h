// The question an extraction asks before it replaces an existing file (template 540, texts
// in the preference language): replace this one, replace all that follow, skip it, or
// cancel the command.
#pragma once

#include <windows.h>

#include <string>

#include "ui/dialog.h"

namespace Dossiq::Manager {

class OverwriteQuestion : public Ui::Dialog {
public:
    enum class Answer { Replace, ReplaceAll, Skip, Cancel };

    // `shownName` is the file's name as the user may see it.
    Answer Ask(HWND owner, const std::wstring& shownName);

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    std::wstring shownName_;
};

} // namespace Dossiq::Manager
