// What a signing made from a window asks and tells on the way, as the preferences have it:
// the configured time-stamping service and the long-term choice. Message boxes carry the
// neutral name `captionId` (the shell's or the manager's).
#pragma once

#include <windows.h>

#include "document/container/message_builder.h"

namespace Dossiq::Views {

// The configured service's token; when none valid comes, the user chooses between signing
// without one and cancelling. `declined` tells that the user said no: the error the signing
// then ends with is shared with key prompts and providers that cancel.
Documents::SignatureStamper AskingStamper(bool& declined, UINT captionId);

// The preferences' long-term choice; what cannot be kept is told, and under "required"
// nothing is signed (the user has been told, so nothing more is reported).
Documents::ValidationDataSource TellingLongTermSource(UINT captionId);

} // namespace Dossiq::Views
