#include "document/operations/long_term_extension.h"

#include <algorithm>

#include "document/container/container_reader.h"
#include "document/container/container_writer.h"
#include "document/container/der.h"
#include "document/container/document.h"
#include "document/container/validation_data.h"
#include "document/report/validation_report.h"
#include "document/timestamp/validation_data_collector.h"
#include "foundation/exception.h"

namespace Dossiq::Documents {

namespace {

// The file's ContentInfo read whole; `signedData` is its SignedData, when it is one.
enum class Form { SignedData, Enveloped, Other };

Form FormOf(const ContentSection& file, Der::Element& signedData) {
    Der::Reader top(file.Data(), file.Length());
    Der::Element info, type, content;
    if (!top.Expect(Der::kSequence, info) || !top.AtEnd()) {
        return Form::Other;
    }
    Der::Reader fields(info);
    if (!fields.Expect(Der::kOid, type) || !fields.Expect(Der::kContext0, content)) {
        return Form::Other;
    }
    if (type.IsOid(Der::kOidEnvelopedData)) {
        return Form::Enveloped;
    }
    Der::Reader inner(content);
    return type.IsOid(Der::kOidSignedData) && inner.Expect(Der::kSequence, signedData) &&
                   inner.AtEnd()
               ? Form::SignedData
               : Form::Other;
}

} // namespace

ExtensionResult ExtendLongTermData(const std::wstring& path) {
    ExtensionResult result;
    try {
        ContentSection file;
        try {
            ContainerReader reader;
            if (!reader.Start(path, file)) {
                return result;
            }
            reader.Finish();
        } catch (const MHFX::Exception&) {
            result.error = ::GetLastError();
            return result;
        }
        Der::Element signedData;
        switch (FormOf(file, signedData)) {
        case Form::Enveloped:
            result.outcome = ExtensionOutcome::Enveloped;
            return result;
        case Form::Other:
            return result;
        case Form::SignedData:
            break;
        }
        CollectedValidationData collected;
        {
            Document document(path);
            if (!document.Open(0)) {
                result.error = document.FailureCode();
                return result;
            }
            if (!document.IsSignatureValid()) {
                result.outcome = ExtensionOutcome::Tampered;
                return result;
            }
            if (document.SignatureTimestamp().empty()) {
                result.outcome = ExtensionOutcome::NoTimestamp;
                return result;
            }
            collected =
                CollectValidationData(document.SignerCertificate(), document.SignatureTimestamp());
        }
        result.missing = std::move(collected.missing);
        const std::vector<BYTE> extended =
            WithValidationData(signedData.begin, signedData.size, collected.data);
        if (extended.empty()) {
            return result;
        }
        if (std::equal(extended.begin(), extended.end(), signedData.begin,
                       signedData.begin + signedData.size)) {
            result.outcome = ExtensionOutcome::Unchanged;
            return result;
        }
        if (!WriteSignedData({{extended.data(), extended.size()}}, path)) {
            result.outcome = ExtensionOutcome::WriteFailed;
            result.error = ::GetLastError();
            return result;
        }
        result.outcome = ExtensionOutcome::Extended;
    } catch (const MHFX::Exception&) {
        result.outcome = ExtensionOutcome::WriteFailed;
        result.error = ::GetLastError();
    } catch (const std::bad_alloc&) {
        result.outcome = ExtensionOutcome::WriteFailed;
        result.error = ERROR_NOT_ENOUGH_MEMORY;
    }
    return result;
}

bool MayExtend(const ValidationReport& report) {
    const SignatureFacts& signature = report.Selected();
    return report.kind == L"signed" && report.decoding == DecodingOutcome::NotTampered &&
           signature.timestamp.present &&
           signature.revocation.source !=
               MHFX::Security::Cryptography::X509::RevocationSource::Container;
}

} // namespace Dossiq::Documents
