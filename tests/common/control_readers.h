// Reading what standard controls show, as the user sees it: the lines of a rich-edit box
// with their colour and weight, and the rows of a list view.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

namespace TestSupport {

struct StyledLine {
    std::wstring text;
    COLORREF colour = 0; // the system's text colour for automatic colour
    bool bold = false;
    bool operator==(const StyledLine& other) const {
        return text == other.text && colour == other.colour && bold == other.bold;
    }
};
std::ostream& operator<<(std::ostream& out, const StyledLine& line);

// Every line of a rich-edit box with the format of its first character; the empty line
// after a final line break is not one. The selection is left empty.
std::vector<StyledLine> StyledLines(HWND richEdit);

// The texts of one column of a list view, row by row.
std::vector<std::wstring> ListViewTexts(HWND listView, int column = 0);
std::wstring ListViewText(HWND listView, int row, int column);
// The image index of a row, -1 for none.
int ListViewImage(HWND listView, int row);
// Whether a rich-edit box shows its last line of text whole (the lines above it follow).
bool ShowsEveryLine(HWND richEdit);

// Selects only row `index` (none for -1) as a click would, focus included.
void SelectListViewRow(HWND listView, int index);

} // namespace TestSupport
