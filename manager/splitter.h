// A horizontal splitter: two panes one above the other with a bar between them. The bar
// can be made fixed; the panes keep their proportion when the splitter is resized. It
// forwards its children's commands and notifications to its parent.
#pragma once

#include "ui/window.h"

namespace Dossiq::Manager {

class Splitter : public Ui::Window {
public:
    HWND Create(HWND parent, const RECT& rect);

    void SetPanes(HWND top, HWND bottom);
    // The height of the top pane; the proportion kept on resizing follows from it.
    void SetSplitterPos(int position);
    int GetSplitterPos() const { return position_; }
    void SetMinPaneSize(int size) { minPane_ = size; }
    void SetDraggable(bool draggable) { draggable_ = draggable; }
    int BarHeight() const { return bar_; }
    // The bar's height for the scale the splitter is shown at.
    void SetDpi(UINT dpi);

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    int Available() const;
    int Clamp(int position) const;
    void Layout();
    void MoveBar(int y);

    HWND top_ = nullptr;
    HWND bottom_ = nullptr;
    int position_ = -1;
    double proportion_ = -1.0;
    int minPane_ = 0;
    int bar_ = 4;
    bool draggable_ = true;
    bool dragging_ = false;
};

} // namespace Dossiq::Manager
