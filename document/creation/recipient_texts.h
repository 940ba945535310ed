// What the user is told about a recipient certificate that is not fit: the refusal of one
// not meant for key encipherment, and the warning, with its reason, about the others. The
// context menu and the console program say the same.
#pragma once

#include <string>

#include "certificates/recipient_check.h"

namespace Dossiq::Documents {

namespace RecipientTexts {

using MHFX::Security::Cryptography::X509::RecipientVerdict;
using MHFX::Security::Cryptography::X509::X509Certificate;

// "Common name <e-mail>", or the common name alone.
std::wstring CertificateName(const X509Certificate& certificate);
// The refusal for NoKeyEncipherment.
std::wstring Refusal(const X509Certificate& certificate);
// One sentence: the certificate named and what is wrong with it; empty for Fit and
// NoKeyEncipherment.
std::wstring Problem(const X509Certificate& certificate, RecipientVerdict verdict);
// The problem, and the question whether to encrypt for it anyway.
std::wstring Warning(const X509Certificate& certificate, RecipientVerdict verdict);

} // namespace RecipientTexts

} // namespace Dossiq::Documents
