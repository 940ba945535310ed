// The enabled and checked state of the commands that change with the window's state. Menu
// items take it when their popup opens, toolbar buttons when the message loop is idle.
#pragma once

#include <windows.h>

#include <map>

namespace Dossiq::Manager {

class CommandStateTable {
public:
    enum Target { InMenu = 1, InToolbar = 2 };

    void Add(UINT id, int targets);
    bool Contains(UINT id) const { return entries_.count(id) != 0; }

    void Enable(UINT id, bool enabled);
    void Check(UINT id, bool checked);
    // Commands outside the table are always enabled.
    bool IsEnabled(UINT id) const;
    bool IsChecked(UINT id) const;

    void SetToolbar(HWND toolbar) { toolbar_ = toolbar; }
    // Applies the states to every item of `menu` whose command is in the table.
    void UpdateMenu(HMENU menu) const;
    // Applies the states to the toolbar's buttons.
    void UpdateToolbar() const;

private:
    struct Entry {
        int targets = 0;
        bool enabled = true;
        bool checked = false;
    };
    std::map<UINT, Entry> entries_;
    HWND toolbar_ = nullptr;
};

} // namespace Dossiq::Manager
