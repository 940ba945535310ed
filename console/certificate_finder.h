// The certificates the console program may use, from the same stores and by the same tests
// as the context menu's choice, and the one a user's text names.
#pragma once

#include <string>
#include <vector>

#include "certificates/x509_certificate.h"
#include "console/command_output.h"
#include "document/report/validation_report.h"

namespace Dossiq::Console {

struct Candidate {
    MHFX::Security::Cryptography::X509::X509Certificate certificate;
    Documents::SignerReport description;
    std::wstring commonName; // the subject's first CN, empty without one
};

Candidate DescribeCandidate(const MHFX::Security::Cryptography::X509::X509Certificate& certificate);

// The qualified certificates with a private key of the current user's "My" store.
std::vector<Candidate> SigningCandidates();
// The key-encipherment certificates of "AddressBook" and "TrustedPeople", each once.
std::vector<Candidate> RecipientCandidates();
// Every certificate of "AddressBook" and "TrustedPeople", each once, for telling why one is
// not offered.
std::vector<Candidate> RecipientStoreCertificates();
// Every certificate of "My", for telling why one is not offered.
std::vector<Candidate> PersonalCertificates();

// The one candidate `text` names: a thumbprint (spaces and colons ignored, any case), else an
// e-mail address, else the whole common name, each compared without regard to case. A part
// of a name names nothing: "alice" must not pick "Malice Ltd". Empty when none or several
// match; `matches` then holds the several (or nothing).
const Candidate* FindCandidate(const std::vector<Candidate>& candidates, const std::wstring& text,
                               std::vector<const Candidate*>& matches);

// The candidate `text` names, or null after writing an error that lists what it could have
// meant (signing or recipient candidates).
const Candidate* ChooseCandidate(const std::vector<Candidate>& candidates, const std::wstring& text,
                                 bool signing, const CommandOutput& output);

// "THUMBPRINT  subject  <e-mail>".
std::wstring CandidateLine(const Candidate& candidate);
// Which tests for signing a certificate fails: qcStatements, nameForm, keyUsage, privateKey.
std::vector<std::wstring>
SigningCriteriaFailed(const MHFX::Security::Cryptography::X509::X509Certificate& certificate);

} // namespace Dossiq::Console
