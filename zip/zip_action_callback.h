// The progress interface an archive reports to while it adds or extracts. Derive from it,
// implement OnProgress (false asks the archive to stop) and register it with
// CZipArchive::SetCallback for the kinds of action it should follow.
#pragma once

#include <cstdint>
#include <string>

class CZipActionCallback {
public:
    enum Kind {
        actNone = 0,
        actAdd = 1,
        actAddTemp = 2,
        actAddStore = 4,
        actExtract = 8,
        actDeleteCount = 16,
        actDelete = 32,
        actTest = 64,
        actSaveCentralDir = 128,
        actGet = 256,
        actRename = 512,
        actMoveData = 1024,
        actCountForMultiple = 2048,
        actAddMultiple = 4097,
        actPrepareEncryption = 8192,
        actMoveForEncryption = 16384,
        actEncrypt = 32768,
        actEncryptMultiple = 114688,
    };
    static const int allKinds[17];

    virtual ~CZipActionCallback() = default;

    // Starts a file: the name in the archive and the file on disk.
    virtual void Init(const std::wstring& fileInZip, const std::wstring& externalFile);
    // Announces the amount of work of the file.
    virtual void SetTotal(uint64_t total) { m_total = total; }
    // Reports `amount` more done; false means stop.
    bool RequestStep(uint64_t amount);
    // Reports what is still accumulated plus `amount`; false means stop.
    bool RequestLast(uint64_t amount = 0);
    virtual bool OnProgress(uint64_t amount) = 0;
    // The file is done or abandoned.
    virtual void OnEnd() {}

    // Requests between two OnProgress calls of the current kind.
    int GetStepSize() const;
    int GetKind() const { return m_kind; }
    void SetKind(int kind) { m_kind = kind; }
    uint32_t GetProcessed() const { return m_processed; }
    uint64_t GetTotal() const { return m_total; }
    const std::wstring& GetFileInZip() const { return m_fileInZip; }
    const std::wstring& GetExternalFile() const { return m_externalFile; }

private:
    int m_kind = actNone;
    std::wstring m_fileInZip;
    std::wstring m_externalFile;
    uint64_t m_total = 0;
    uint32_t m_processed = 0;
    uint64_t m_accumulated = 0;
    int m_stepCount = 1;
    int m_stepCounter = 0;
};
