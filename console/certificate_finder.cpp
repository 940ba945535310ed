#include "console/certificate_finder.h"

#include <algorithm>
#include <cwctype>

#include "certificates/store_name.h"
#include "certificates/x509_store.h"
#include "foundation/exception.h"
#include "certificates/certificate_purpose.h"
#include "foundation/text/readable_text.h"
#include "console/commands.h"
#include "console/help_texts.h"
#include "document/report/certificate_facts.h"
#include "document/report/report_names.h"
#include "resources/console/resource.h"

using namespace Dossiq::Documents;

namespace Dossiq::Console {

using MHFX::Security::Cryptography::X509::HasKeyAtHand;
using MHFX::Security::Cryptography::X509::IsRecipientCandidate;
using MHFX::Security::Cryptography::X509::IsSigningCandidate;
using MHFX::Security::Cryptography::X509::StoreName;
using MHFX::Security::Cryptography::X509::X509Certificate;
using MHFX::Security::Cryptography::X509::X509Store;

namespace {

template <typename Keep>
void AddFromStore(const std::wstring& name, Keep keep, std::vector<Candidate>& candidates) {
    X509Store store(name, CERT_SYSTEM_STORE_CURRENT_USER);
    try {
        store.Open(CERT_STORE_READONLY_FLAG);
    } catch (const MHFX::Exception&) {
        return; // a store the user does not have offers nothing
    }
    for (const X509Certificate& certificate : store.Certificates()) {
        if (!keep(certificate)) {
            continue;
        }
        Candidate candidate = DescribeCandidate(certificate);
        const bool seen = std::any_of(candidates.begin(), candidates.end(), [&](const auto& c) {
            return c.description.thumbprint == candidate.description.thumbprint;
        });
        if (!seen) {
            candidates.push_back(std::move(candidate));
        }
    }
    store.Close();
}

std::wstring Folded(const std::wstring& text, bool dropSeparators) {
    std::wstring folded;
    for (wchar_t c : text) {
        if (dropSeparators && (c == L' ' || c == L':')) {
            continue;
        }
        folded += static_cast<wchar_t>(std::towlower(c));
    }
    return folded;
}

} // namespace

std::vector<Candidate> SigningCandidates() {
    std::vector<Candidate> candidates;
    AddFromStore(StoreName::My, IsSigningCandidate, candidates);
    return candidates;
}

Candidate DescribeCandidate(const X509Certificate& certificate) {
    return {certificate, DescribeCertificate(certificate.Handle()),
            certificate.GetNameInfo(CERT_NAME_ATTR_TYPE, szOID_COMMON_NAME)};
}

std::vector<Candidate> RecipientCandidates() {
    std::vector<Candidate> candidates;
    AddFromStore(StoreName::AddressBook, IsRecipientCandidate, candidates);
    AddFromStore(StoreName::TrustedPeople, IsRecipientCandidate, candidates);
    return candidates;
}

std::vector<Candidate> RecipientStoreCertificates() {
    std::vector<Candidate> certificates;
    const auto all = [](const X509Certificate&) { return true; };
    AddFromStore(StoreName::AddressBook, all, certificates);
    AddFromStore(StoreName::TrustedPeople, all, certificates);
    return certificates;
}

std::vector<Candidate> PersonalCertificates() {
    std::vector<Candidate> certificates;
    AddFromStore(
        StoreName::My, [](const X509Certificate&) { return true; }, certificates);
    return certificates;
}

const Candidate* FindCandidate(const std::vector<Candidate>& candidates, const std::wstring& text,
                               std::vector<const Candidate*>& matches) {
    matches.clear();
    const std::wstring thumbprint = Folded(text, true);
    const std::wstring wanted = Folded(text, false);
    if (wanted.empty()) {
        return nullptr;
    }
    // The strongest kind of match that finds anything decides.
    const auto field = [](int kind, const Candidate& c) {
        return kind == 0   ? Folded(c.description.thumbprint, true)
               : kind == 1 ? Folded(c.description.email, false)
                           : Folded(c.commonName, false);
    };
    for (int kind = 0; kind < 3 && matches.empty(); ++kind) {
        for (const Candidate& candidate : candidates) {
            const std::wstring value = field(kind, candidate);
            if (kind == 0 ? value == thumbprint : value == wanted) {
                matches.push_back(&candidate);
            }
        }
    }
    return matches.size() == 1 ? matches[0] : nullptr;
}

std::wstring CandidateLine(const Candidate& candidate) {
    std::wstring line = candidate.description.thumbprint + L"  " + candidate.description.subject;
    if (!candidate.description.email.empty()) {
        line += L"  <" + candidate.description.email + L">";
    }
    return MHFX::ReadableText(line);
}

std::vector<std::wstring> SigningCriteriaFailed(const X509Certificate& certificate) {
    std::vector<std::wstring> failed;
    for (Documents::QualifiedCriterion criterion :
         Documents::QualifiedCriteriaFailed(certificate)) {
        failed.push_back(Documents::QualifiedCriterionName(criterion));
    }
    if (!HasKeyAtHand(certificate)) {
        failed.push_back(L"privateKey");
    }
    return failed;
}

const Candidate* ChooseCandidate(const std::vector<Candidate>& candidates, const std::wstring& text,
                                 bool signing, const CommandOutput& output) {
    std::vector<const Candidate*> matches;
    const Candidate* found = FindCandidate(candidates, text, matches);
    if (found) {
        return found;
    }
    std::wstring list;
    for (const Candidate* match : matches) {
        list += L"\r\n    " + CandidateLine(*match);
    }
    if (matches.empty()) {
        for (const Candidate& candidate : candidates) {
            list += L"\r\n    " + CandidateLine(candidate);
        }
        output.Fail(
            kExitUsage,
            ConsoleText(signing ? IDS_CONSOLE_NO_SIGNER_MATCHES : IDS_CONSOLE_NO_RECIPIENT_MATCHES,
                        {text}) +
                (candidates.empty() ? L"\r\n    " + ConsoleText(IDS_CONSOLE_NO_CANDIDATES) : list));
    } else {
        output.Fail(kExitUsage, ConsoleText(signing ? IDS_CONSOLE_SEVERAL_SIGNERS
                                                    : IDS_CONSOLE_SEVERAL_RECIPIENTS,
                                            {text}) +
                                    list);
    }
    return nullptr;
}

} // namespace Dossiq::Console
