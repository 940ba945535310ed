// A push button that shows one picture of an image list: four image slots (normal, pushed,
// hover, disabled) and two effect bits (hover tracking, a 3-D frame). The button is made
// owner-drawn; its parent hands WM_DRAWITEM for it to Draw.
#pragma once

#include <windows.h>
#include <commctrl.h>

class PictureButton {
public:
    enum Slot { Normal = 0, Pushed = 1, Hover = 2, Disabled = 3 };
    enum Effect : DWORD { HoverTracking = 1, Frame3D = 2 };

    PictureButton() = default;
    PictureButton(const PictureButton&) = delete;
    PictureButton& operator=(const PictureButton&) = delete;
    ~PictureButton();

    // Takes over the button `button` (owner-drawn from now on); the image list stays the
    // caller's.
    void Attach(HWND button, HIMAGELIST images);
    HWND Handle() const { return hwnd_; }

    // Another image list of the same pictures (another size); the caller's as well.
    void SetImageList(HIMAGELIST images) { imageList_ = images; }
    void SetImages(int normal, int pushed, int hover, int disabled);
    int Image(Slot slot) const { return images_[slot]; }
    void SetEffects(DWORD effects);
    DWORD Effects() const { return effects_; }
    bool IsHot() const { return hot_; }
    // The image the button shows now.
    int CurrentImage() const;

    // Resizes the button to the image list's icon size and repaints it.
    void SizeToImage();
    // Draws the button for WM_DRAWITEM.
    void Draw(const DRAWITEMSTRUCT& item) const;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    void SetHot(bool hot);

    HWND hwnd_ = nullptr;
    HIMAGELIST imageList_ = nullptr;
    int images_[4] = {-1, -1, -1, -1};
    DWORD effects_ = 0;
    bool hot_ = false;
    bool pushed_ = false;
};
