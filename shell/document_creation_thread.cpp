#include "shell/document_creation_thread.h"

#include <algorithm>
#include <new>

#include "certificates/x509_exception.h"
#include "config/localization.h"
#include "document/creation/archive_builder.h"
#include "document/creation/packing_exception.h"
#include "views/archive_packing.h"
#include "views/busy_dialog.h"
#include "views/signing_prompts.h"
#include "certificates/own_recipient.h"
#include "views/certificate_selection.h"
#include "shell/recipient_confirmation.h"
#include "document/container/container_writer.h"
#include "document/container/message_blob.h"
#include "document/container/message_builder.h"
#include "document/creation/output_name.h"
#include "shell/save_as_dialog.h"
#include "document/report/timestamp_line.h"
#include "document/timestamp/long_term_source.h"
#include "document/timestamp/signature_stamper.h"
#include "config/preferences.h"
#include "foundation/argument_exception.h"
#include "foundation/io/path_too_long_exception.h"
#include "foundation/resource_string.h"
#include "foundation/win32_exception.h"
#include "resources/common/localized_ids.h"
#include "resources/shellext/resource.h"
#include "zip/zip_exception.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;
using namespace Dossiq::Views;

namespace Dossiq::Shell {

namespace {

// The system error closest to what the archive writer reports in its own terms.
DWORD ZipErrorCode(const CZipException& e) {
    switch (e.GetCode()) {
    case CZipException::memError:
        return ERROR_NOT_ENOUGH_MEMORY;
    case CZipException::tooManyFiles:
        return kErrorTooManyArchiveEntries;
    case CZipException::tooLongData:
    case CZipException::tooBigSize:
        return ERROR_FILE_TOO_LARGE;
    case CZipException::abortedAction:
    case CZipException::abortedSafely:
        return ERROR_CANCELLED;
    case 2: // ENOENT
        return ERROR_FILE_NOT_FOUND;
    case 13: // EACCES
        return ERROR_ACCESS_DENIED;
    case 28: // ENOSPC
        return ERROR_DISK_FULL;
    default:
        return ERROR_INVALID_DATA;
    }
}

// Keeps the last error of the step before across the cleanup that follows it.
class LastErrorKeeper {
public:
    LastErrorKeeper() : error_(::GetLastError()) {}
    ~LastErrorKeeper() { ::SetLastError(error_); }
    LastErrorKeeper(const LastErrorKeeper&) = delete;
    LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

private:
    DWORD error_;
};

} // namespace

DocumentCreationThread::DocumentCreationThread(std::vector<std::wstring> selection,
                                               std::wstring rootFolder, std::wstring outputPath,
                                               CreateMode mode)
    : selection_(std::move(selection)), rootFolder_(std::move(rootFolder)),
      outputPath_(std::move(outputPath)), mode_(mode) {
    autoDelete_ = true;
}

DWORD DocumentCreationThread::Run() {
    if (!ModeKind(mode_)) {
        return NotCreated;
    }
    // Whatever ends the command early, its dialogs and buffers are gone by the time the
    // handlers run; the user is told in the words of the command, never left guessing.
    DWORD error = ERROR_INTERNAL_ERROR;
    std::wstring item;
    try {
        return Create();
    } catch (const PackingException& e) {
        error = e.ErrorCode();
        item = e.Item();
    } catch (const MHFX::Win32Exception& e) {
        error = e.ErrorCode();
    } catch (const MHFX::IO::PathTooLongException&) {
        error = ERROR_FILENAME_EXCED_RANGE;
    } catch (const MHFX::ArgumentException&) {
        error = ERROR_INVALID_PARAMETER;
    } catch (const MHFX::Security::Cryptography::X509::X509Exception&) {
        error = ERROR_INVALID_HANDLE;
    } catch (const MHFX::Exception&) {
        error = ERROR_INTERNAL_ERROR;
    } catch (const CZipException& e) {
        error = ZipErrorCode(e);
        item = e.GetFileName();
    } catch (const std::bad_alloc&) {
        error = ERROR_NOT_ENOUGH_MEMORY;
    } catch (const std::exception&) {
        error = ERROR_INTERNAL_ERROR;
    }
    try {
        ReportFailure(error, item);
    } catch (...) {
    }
    return Failed;
}

DocumentCreationThread::Outcome DocumentCreationThread::Create() {
    // Nothing to pack, or nowhere to put it: no certificate is asked for in vain.
    if (selection_.empty() || rootFolder_.empty()) {
        ReportFailure(ERROR_INVALID_PARAMETER);
        return Failed;
    }
    if (outputPath_.empty() && !ChooseOutputPath()) {
        return NotCreated;
    }

    X509Certificate signer;
    if (NeedsSigningCertificate(mode_)) {
        signer = SelectSigningCertificate();
        if (!signer.IsInitialized()) {
            return NotCreated;
        }
    }
    std::vector<X509Certificate> recipients;
    if (NeedsRecipientCertificate(mode_)) {
        recipients = ChooseRecipients(signer);
        if (recipients.empty()) {
            return NotCreated;
        }
    }

    bool succeeded = false;
    switch (*ModeKind(mode_)) {
    case DocumentKind::Signed:
        succeeded = Sign(signer);
        break;
    case DocumentKind::Encrypted:
        succeeded = Encrypt(recipients);
        break;
    case DocumentKind::Protected:
        succeeded = Protect(signer, recipients);
        break;
    }
    if (!succeeded) {
        // The user chose not to sign without a timestamp: nothing to report.
        if (timestampDeclined_) {
            return NotCreated;
        }
        ReportFailure(::GetLastError());
        return Failed;
    }
    return archiveRefused_ ? NotCreated : Written;
}

bool DocumentCreationThread::ChooseOutputPath() {
    outputPath_ = IsQuickMode(mode_) ? OutputName::QuickPath(selection_, rootFolder_, mode_)
                                     : SaveAsDialog::Ask(mode_, ::GetActiveWindow());
    return !outputPath_.empty();
}

bool DocumentCreationThread::Sign(const X509Certificate& signer) {
    if (outputPath_.empty() || !signer.IsInitialized()) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return PackAndWrite(IDS_SIGNING_TITLE, IDS_SIGNING_DESCRIPTION,
                        [&](const MessageBlob& archive, MessageBlob& message) {
                            return SignArchive(archive, signer.Handle(), kSignatureHashOid, message,
                                               AskingStamper(timestampDeclined_, IDS_SHELL_NAME),
                                               TellingLongTermSource(IDS_SHELL_NAME));
                        });
}

std::vector<DocumentCreationThread::X509Certificate>
DocumentCreationThread::ChooseRecipients(const X509Certificate& signer) {
    RecipientChoice choice = SelectRecipientCertificates(Preferences::Instance().EncryptForMe());
    if (!choice.Chosen()) {
        return {};
    }
    if (choice.forMe) {
        const X509Certificate mine = FindOwnRecipient(signer);
        if (!mine.IsInitialized()) {
            ::MessageBoxW(nullptr, LoadLocalizedString(IDS_NO_OWN_RECIPIENT).c_str(),
                          MHFX::LoadNeutralString(IDS_SHELL_NAME).c_str(), MB_OK | MB_ICONWARNING);
            return {};
        }
        const bool named = std::any_of(
            choice.recipients.begin(), choice.recipients.end(), [&](const X509Certificate& c) {
                return ::CertCompareCertificate(X509_ASN_ENCODING, c.Handle()->pCertInfo,
                                                mine.Handle()->pCertInfo);
            });
        if (!named) {
            choice.recipients.push_back(mine);
        }
    }
    // Each is checked as a single recipient is; one the user does not go on with stops all.
    for (const X509Certificate& recipient : choice.recipients) {
        if (!ConfirmRecipient(recipient)) {
            return {};
        }
    }
    return choice.recipients;
}

namespace {

Recipients HandlesOf(const std::vector<MHFX::Security::Cryptography::X509::X509Certificate>& all) {
    Recipients handles;
    for (const auto& certificate : all) {
        handles.push_back(certificate.Handle());
    }
    return handles;
}

} // namespace

bool DocumentCreationThread::Encrypt(const std::vector<X509Certificate>& recipients) {
    return PackAndWrite(IDS_ENCRYPTING_TITLE, IDS_ENCRYPTING_DESCRIPTION,
                        [&](const MessageBlob& archive, MessageBlob& message) {
                            return EncryptArchive(archive, HandlesOf(recipients), message);
                        });
}

bool DocumentCreationThread::Protect(const X509Certificate& signer,
                                     const std::vector<X509Certificate>& recipients) {
    return PackAndWrite(IDS_PROTECTING_TITLE, IDS_PROTECTING_DESCRIPTION,
                        [&](const MessageBlob& archive, MessageBlob& message) {
                            return ProtectArchive(archive, signer.Handle(), kSignatureHashOid,
                                                  HandlesOf(recipients), message, kContentCipher,
                                                  AskingStamper(timestampDeclined_, IDS_SHELL_NAME),
                                                  TellingLongTermSource(IDS_SHELL_NAME));
                        });
}

template <typename MakeMessage>
bool DocumentCreationThread::PackAndWrite(UINT titleId, UINT descriptionId,
                                          MakeMessage makeMessage) {
    // Failures to pack are thrown, named after the item; too large has been told.
    MessageBlob archive;
    if (Views::PackShowingProgress(selection_, rootFolder_, archive) == ArchiveOutcome::TooLarge) {
        ::MessageBoxW(nullptr, LoadLocalizedString(IDS_CONTENT_TOO_LARGE).c_str(),
                      MHFX::LoadNeutralString(IDS_PRODUCT_NAME2).c_str(), MB_OK | MB_ICONWARNING);
        archiveRefused_ = true;
        return true;
    }

    MessageBlob message;
    BusyDialog busy(titleId, descriptionId);
    busy.Start();
    const bool made = makeMessage(archive, message);
    {
        LastErrorKeeper keeper;
        archive.Release();
    }
    if (!made) {
        LastErrorKeeper keeper;
        busy.Close();
        return false;
    }
    const bool written = WriteContainer(message, outputPath_);
    LastErrorKeeper keeper;
    message.Release();
    busy.Close();
    return written;
}

UINT DocumentCreationThread::FailureTextId() const {
    switch (*ModeKind(mode_)) {
    case DocumentKind::Signed:
        return IDS_SIGNING_FAILED;
    case DocumentKind::Encrypted:
        return IDS_ENCRYPTION_FAILED;
    case DocumentKind::Protected:
        return IDS_PROTECTION_FAILED;
    }
    return IDS_SIGNING_FAILED;
}

void DocumentCreationThread::ReportFailure(DWORD errorCode, const std::wstring& item) const {
    // Our own limits, and a sharing violation (the common case of a file open in another
    // program), in plain words; the system's text for the rest.
    std::wstring cause;
    if (errorCode == kErrorSigningKeyHashUnsupported) {
        cause = LoadLocalizedString(IDS_SIGNING_KEY_HASH_UNSUPPORTED);
    } else if (errorCode == kErrorTooManyArchiveEntries) {
        cause = LoadLocalizedString(IDS_TOO_MANY_ITEMS);
    } else if (!item.empty() && errorCode == ERROR_SHARING_VIOLATION) {
        cause = LoadLocalizedString(IDS_ITEM_IN_USE);
    } else if (!item.empty() && errorCode == ERROR_FILE_TOO_LARGE) {
        cause = LoadLocalizedString(IDS_ITEM_OVER_4GB);
    } else {
        cause = MHFX::Win32Exception::SystemText(errorCode);
    }
    if (!item.empty()) {
        cause = MHFX::FormatString(LoadLocalizedString(IDS_ITEM_NOT_PACKED), item.c_str(),
                                   cause.c_str());
    }
    const std::wstring text =
        MHFX::FormatString(LoadLocalizedString(FailureTextId()), cause.c_str());
    ::MessageBoxW(nullptr, text.c_str(), MHFX::LoadNeutralString(IDS_SHELL_NAME).c_str(),
                  MB_OK | MB_ICONERROR);
}

} // namespace Dossiq::Shell
