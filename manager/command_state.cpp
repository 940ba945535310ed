#include "manager/command_state.h"

#include <commctrl.h>

namespace Dossiq::Manager {

void CommandStateTable::Add(UINT id, int targets) {
    entries_[id].targets = targets;
}

void CommandStateTable::Enable(UINT id, bool enabled) {
    auto it = entries_.find(id);
    if (it != entries_.end()) {
        it->second.enabled = enabled;
    }
}

void CommandStateTable::Check(UINT id, bool checked) {
    auto it = entries_.find(id);
    if (it != entries_.end()) {
        it->second.checked = checked;
    }
}

bool CommandStateTable::IsEnabled(UINT id) const {
    auto it = entries_.find(id);
    return it == entries_.end() || it->second.enabled;
}

bool CommandStateTable::IsChecked(UINT id) const {
    auto it = entries_.find(id);
    return it != entries_.end() && it->second.checked;
}

void CommandStateTable::UpdateMenu(HMENU menu) const {
    const int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT id = ::GetMenuItemID(menu, i);
        auto it = entries_.find(id);
        if (id == static_cast<UINT>(-1) || it == entries_.end() || !(it->second.targets & InMenu)) {
            continue;
        }
        ::EnableMenuItem(menu, i, MF_BYPOSITION | (it->second.enabled ? MF_ENABLED : MF_GRAYED));
        ::CheckMenuItem(menu, i, MF_BYPOSITION | (it->second.checked ? MF_CHECKED : MF_UNCHECKED));
    }
}

void CommandStateTable::UpdateToolbar() const {
    if (!toolbar_) {
        return;
    }
    for (const auto& [id, entry] : entries_) {
        if (!(entry.targets & InToolbar) ||
            ::SendMessageW(toolbar_, TB_COMMANDTOINDEX, id, 0) < 0) {
            continue;
        }
        const bool enabled = ::SendMessageW(toolbar_, TB_ISBUTTONENABLED, id, 0) != 0;
        if (enabled != entry.enabled) {
            ::SendMessageW(toolbar_, TB_ENABLEBUTTON, id, MAKELPARAM(entry.enabled, 0));
        }
        const bool checked = ::SendMessageW(toolbar_, TB_ISBUTTONCHECKED, id, 0) != 0;
        if (checked != entry.checked) {
            ::SendMessageW(toolbar_, TB_CHECKBUTTON, id, MAKELPARAM(entry.checked, 0));
        }
    }
}

} // namespace Dossiq::Manager
