#include "ui/end_modal_message.h"

UINT EndModalDialogMessage() {
    static const UINT message =
        ::RegisterWindowMessageW(L"UWM_END_MODAL_DLG-{58BB4B53-D2D2-49a7-BB81-79F47E304987}");
    return message;
}

namespace {
// Registered while the module starts, before any dialog thread could race for it.
const UINT g_registered = EndModalDialogMessage();
} // namespace
