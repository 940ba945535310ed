#include "zip/zip_action_callback.h"

const int CZipActionCallback::allKinds[17] = {
    actAdd,         actAddTemp,           actAddStore,
    actExtract,     actDeleteCount,       actDelete,
    actTest,        actSaveCentralDir,    actGet,
    actRename,      actMoveData,          actCountForMultiple,
    actAddMultiple, actPrepareEncryption, actMoveForEncryption,
    actEncrypt,     actEncryptMultiple};

void CZipActionCallback::Init(const std::wstring& fileInZip, const std::wstring& externalFile) {
    m_fileInZip = fileInZip;
    m_externalFile = externalFile;
    m_processed = 0;
    m_accumulated = 0;
    m_stepCount = GetStepSize();
    if (m_stepCount <= 0) {
        m_stepCount = 1;
    }
    m_stepCounter = 0;
}

int CZipActionCallback::GetStepSize() const {
    switch (m_kind) {
    case actDeleteCount:
    case actSaveCentralDir:
    case actCountForMultiple:
    case actPrepareEncryption:
        return 256;
    default:
        return 1;
    }
}

bool CZipActionCallback::RequestStep(uint64_t amount) {
    if (amount == 0) {
        return true;
    }
    if (m_stepCount == 1) {
        m_processed += static_cast<uint32_t>(amount);
        return OnProgress(amount);
    }
    m_accumulated += amount;
    if (++m_stepCounter < m_stepCount) {
        return true;
    }
    m_stepCounter = 0;
    const uint64_t sum = m_accumulated;
    m_accumulated = 0;
    m_processed += static_cast<uint32_t>(sum);
    return OnProgress(sum);
}

bool CZipActionCallback::RequestLast(uint64_t amount) {
    const uint64_t sum = m_accumulated + amount;
    m_accumulated = 0;
    m_stepCounter = 0;
    if (sum == 0) {
        return true;
    }
    m_processed += static_cast<uint32_t>(sum);
    return OnProgress(sum);
}
