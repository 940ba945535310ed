// One creation command of the context menu, from the output name to the container file, on
// a worker of its own that deletes itself when done. Every way it can end without a
// container is either the user's own choice (Save As or a certificate choice cancelled,
// no certificate to choose, an archive too large: each already told) or a message box
// with the system's text of what went wrong, naming the selected item that could not be
// packed. A container is written from everything selected or not at all.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "certificates/x509_certificate.h"
#include "document/creation/create_mode.h"
#include "foundation/threading/thread.h"

namespace Dossiq::Shell {

class DocumentCreationThread : public MHFX::Thread {
public:
    // Exit codes of the thread.
    enum Outcome : DWORD {
        Written = 0,    // the container is on disk
        NotCreated = 1, // the user cancelled or has been told why not
        Failed = 2,     // the failure message has been shown
    };

    // `outputPath` is normally empty: the name step fills it.
    DocumentCreationThread(std::vector<std::wstring> selection, std::wstring rootFolder,
                           std::wstring outputPath, Documents::CreateMode mode);

protected:
    DWORD Run() override;

private:
    using X509Certificate = MHFX::Security::Cryptography::X509::X509Certificate;

    Outcome Create();
    bool ChooseOutputPath();
    // The three sequences; false (last error set) for a failure the user has not been
    // told about yet.
    bool Sign(const X509Certificate& signer);
    bool Encrypt(const std::vector<X509Certificate>& recipients);
    bool Protect(const X509Certificate& signer, const std::vector<X509Certificate>& recipients);
    // Whom the envelope is for: the recipients the user chose and, when asked, the user;
    // empty when the user cancelled or has been told why not.
    std::vector<X509Certificate> ChooseRecipients(const X509Certificate& signer);
    template <typename MakeMessage>
    bool PackAndWrite(UINT titleId, UINT descriptionId, MakeMessage makeMessage);

    UINT FailureTextId() const;
    // The mode's failure text with the cause; a failure to pack names the item.
    void ReportFailure(DWORD errorCode, const std::wstring& item = {}) const;

    std::vector<std::wstring> selection_;
    std::wstring rootFolder_;
    std::wstring outputPath_;
    Documents::CreateMode mode_;
    bool archiveRefused_ = false;
    bool timestampDeclined_ = false;
};

} // namespace Dossiq::Shell
