// Names for assistive technology. The system's proxy object of a control knows its role and
// state but often not a name (a picture button, a text box without a label) nor the children
// of a toolbar; a control given an AccessibleText answers WM_GETOBJECT with that proxy, named
// and described from the text's callbacks, asked each time so that they follow the language
// and the state of the window.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace Dossiq::Ui {

struct AccessibleText {
    std::function<std::wstring()> name;
    // The control's text as its value (the proxy's own when empty).
    std::function<std::wstring()> value;
    LONG role = 0; // 0: the proxy's
    // Simple children 1..count with a name and a role each (a toolbar's buttons).
    std::function<long()> childCount;
    std::function<std::wstring(long child)> childName;
    LONG childRole = 0;
};

// Gives `control` the text for as long as it exists.
void SetAccessibleText(HWND control, AccessibleText text);

} // namespace Dossiq::Ui
