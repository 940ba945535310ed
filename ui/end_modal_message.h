// The registered window message that ends a progress dialog running on its own thread.
#pragma once

#include <windows.h>

// "UWM_END_MODAL_DLG-{58BB4B53-D2D2-49a7-BB81-79F47E304987}", registered once per process.
UINT EndModalDialogMessage();
