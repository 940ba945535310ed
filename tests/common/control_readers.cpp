#include "common/control_readers.h"

#include <commctrl.h>
#include <richedit.h>

#include "common/test_support.h"

namespace TestSupport {

std::ostream& operator<<(std::ostream& out, const StyledLine& line) {
    return out << Narrow(line.text) << " [" << std::hex << line.colour << std::dec
               << (line.bold ? ", bold]" : "]");
}

std::vector<StyledLine> StyledLines(HWND richEdit) {
    std::vector<StyledLine> lines;
    const int count = static_cast<int>(::SendMessageW(richEdit, EM_GETLINECOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const LRESULT start = ::SendMessageW(richEdit, EM_LINEINDEX, i, 0);
        const LRESULT length = ::SendMessageW(richEdit, EM_LINELENGTH, start, 0);
        std::wstring text(static_cast<size_t>(length) + 8, L'\0');
        *reinterpret_cast<WORD*>(text.data()) = static_cast<WORD>(text.size());
        text.resize(static_cast<size_t>(
            ::SendMessageW(richEdit, EM_GETLINE, i, reinterpret_cast<LPARAM>(text.data()))));
        while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n'))
            text.pop_back();
        if (i == count - 1 && text.empty())
            break;
        CHARRANGE range = {static_cast<LONG>(start), static_cast<LONG>(start + 1)};
        ::SendMessageW(richEdit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
        CHARFORMAT2W format = {};
        format.cbSize = sizeof(format);
        ::SendMessageW(richEdit, EM_GETCHARFORMAT, SCF_SELECTION,
                       reinterpret_cast<LPARAM>(&format));
        const COLORREF colour = (format.dwEffects & CFE_AUTOCOLOR) ? ::GetSysColor(COLOR_WINDOWTEXT)
                                                                   : format.crTextColor;
        lines.push_back({text, colour, (format.dwEffects & CFE_BOLD) != 0});
    }
    CHARRANGE none = {0, 0};
    ::SendMessageW(richEdit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&none));
    return lines;
}

std::wstring ListViewText(HWND listView, int row, int column) {
    wchar_t buffer[512] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 512;
    ::SendMessageW(listView, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

std::vector<std::wstring> ListViewTexts(HWND listView, int column) {
    std::vector<std::wstring> texts;
    const int count = static_cast<int>(::SendMessageW(listView, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        texts.push_back(ListViewText(listView, row, column));
    }
    return texts;
}

int ListViewImage(HWND listView, int row) {
    LVITEMW item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = -1;
    ::SendMessageW(listView, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

bool ShowsEveryLine(HWND richEdit) {
    const int length = ::GetWindowTextLengthW(richEdit);
    const auto lines = static_cast<int>(::SendMessageW(richEdit, EM_GETLINECOUNT, 0, 0));
    if (length == 0 || lines < 2) {
        return true;
    }
    POINTL first = {}, second = {}, last = {};
    const auto start = [&](int line) {
        return static_cast<LPARAM>(::SendMessageW(richEdit, EM_LINEINDEX, line, 0));
    };
    ::SendMessageW(richEdit, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&first), start(0));
    ::SendMessageW(richEdit, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&second), start(1));
    // The last line is empty after the final line break: the one before it is the last text.
    ::SendMessageW(richEdit, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&last), start(lines - 2));
    RECT client;
    ::GetClientRect(richEdit, &client);
    return last.y + (second.y - first.y) <= client.bottom;
}

void SelectListViewRow(HWND listView, int index) {
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    ::SendMessageW(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(&item));
    if (index >= 0) {
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(listView, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
    }
}

} // namespace TestSupport
