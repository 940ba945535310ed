// Writing an encoded message as a container file.
#pragma once

#include <string>

#include <vector>

#include "document/container/message_blob.h"
#include "document/container/signed_data_encoder.h"

namespace Dossiq::Documents {

// Writes `message` as the file `outputPath`, replacing an existing one only once the whole
// message is on disk: false (last error set) when the message could not be written, and an
// existing file of that name is then left as it was. Throws the file stream's exception
// when no file can be created in the output folder.
bool WriteContainer(const MessageBlob& message, const std::wstring& outputPath);

// The same for a bare SignedData given in pieces (as SignedDataEncoder lays it out), written
// in its ContentInfo straight from where the pieces lie.
bool WriteSignedData(const std::vector<SignedDataEncoder::Piece>& signedData,
                     const std::wstring& outputPath);

} // namespace Dossiq::Documents
