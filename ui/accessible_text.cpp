#include "ui/accessible_text.h"

#include <oleacc.h>
#include <commctrl.h>

#include <memory>
#include <new>

#include "foundation/com_ptr.h"
#include "ui/com_object.h"

namespace Dossiq::Ui {

namespace {

using MHFX::ComPtr;

constexpr wchar_t kProperty[] = L"Dossiq.AccessibleText";

HRESULT ToBstr(const std::wstring& text, BSTR* result) {
    *result = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *result ? S_OK : E_OUTOFMEMORY;
}

// The proxy, with the name, value, role and children the text gives.
class AnnotatedAccessible final : public ComObject<NothingHeld, IAccessible> {
public:
    AnnotatedAccessible(ComPtr<IAccessible> inner, std::shared_ptr<const AccessibleText> text)
        : inner_(std::move(inner)), text_(std::move(text)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        static const QITAB interfaces[] = {
            QITABENT(AnnotatedAccessible, IAccessible),
            QITABENTMULTI(AnnotatedAccessible, IDispatch, IAccessible),
            {nullptr, 0},
        };
        return ::QISearch(this, interfaces, iid, result);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return inner_->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return inner_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return inner_->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argument) override {
        return inner_->Invoke(id, iid, locale, flags, parameters, result, exception, argument);
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return inner_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        if (!count) {
            return E_POINTER;
        }
        if (text_->childCount) {
            return Guard([&] { *count = text_->childCount(); });
        }
        return inner_->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** result) override {
        if (IsOwnChild(child)) {
            *result = nullptr;
            return S_FALSE; // a simple element
        }
        return inner_->get_accChild(child, result);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!name) {
            return E_POINTER;
        }
        *name = nullptr;
        if (IsSelf(child) && text_->name) {
            return Text(text_->name, name);
        }
        if (IsOwnChild(child) && text_->childName) {
            return Text([&] { return text_->childName(child.lVal); }, name);
        }
        return inner_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (!value) {
            return E_POINTER;
        }
        *value = nullptr;
        if (IsSelf(child) && text_->value) {
            return Text(text_->value, value);
        }
        return inner_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return inner_->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) {
            return E_POINTER;
        }
        const LONG own = IsSelf(child) ? text_->role : IsOwnChild(child) ? text_->childRole : 0;
        if (own) {
            role->vt = VT_I4;
            role->lVal = own;
            return S_OK;
        }
        return inner_->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (IsOwnChild(child)) {
            state->vt = VT_I4;
            state->lVal = 0;
            return S_OK;
        }
        return inner_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return inner_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return inner_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return inner_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return inner_->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return inner_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return inner_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return inner_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        return inner_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return inner_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        return inner_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return inner_->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return inner_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return inner_->put_accValue(child, value);
    }

private:
    ~AnnotatedAccessible() = default;

    static bool IsSelf(const VARIANT& child) {
        return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
    }
    bool IsOwnChild(const VARIANT& child) const {
        if (!text_->childCount || child.vt != VT_I4 || child.lVal <= 0) {
            return false;
        }
        long count = 0;
        return SUCCEEDED(Guard([&] { count = text_->childCount(); })) && child.lVal <= count;
    }
    template <typename F> static HRESULT Guard(F&& f) noexcept {
        return ComBoundary(
            [&] {
                f();
                return S_OK;
            },
            E_FAIL);
    }
    template <typename F> static HRESULT Text(F&& text, BSTR* result) noexcept {
        std::wstring value;
        const HRESULT hr = Guard([&] { value = text(); });
        return FAILED(hr) ? hr : ToBstr(value, result);
    }

    ComPtr<IAccessible> inner_;
    std::shared_ptr<const AccessibleText> text_;
};

LRESULT CALLBACK AnnotatedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR data) {
    auto* text = reinterpret_cast<std::shared_ptr<const AccessibleText>*>(data);
    if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT) {
        ComPtr<IAccessible> inner;
        if (SUCCEEDED(::CreateStdAccessibleObject(hwnd, OBJID_CLIENT, IID_IAccessible,
                                                  inner.put_void()))) {
            auto* annotated = new (std::nothrow) AnnotatedAccessible(inner, *text);
            if (annotated) {
                const LRESULT result = ::LresultFromObject(IID_IAccessible, wParam, annotated);
                annotated->Release();
                return result;
            }
        }
    } else if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hwnd, &AnnotatedProc, 0);
        ::RemovePropW(hwnd, kProperty);
        delete text;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

} // namespace

void SetAccessibleText(HWND control, AccessibleText text) {
    if (!control) {
        return;
    }
    auto* held = new std::shared_ptr<const AccessibleText>(
        std::make_shared<const AccessibleText>(std::move(text)));
    // A second text replaces the first; the subclass keeps one.
    delete static_cast<std::shared_ptr<const AccessibleText>*>(::GetPropW(control, kProperty));
    ::SetPropW(control, kProperty, held);
    if (!::SetWindowSubclass(control, &AnnotatedProc, 0, reinterpret_cast<DWORD_PTR>(held))) {
        ::RemovePropW(control, kProperty);
        delete held;
    }
}

} // namespace Dossiq::Ui
