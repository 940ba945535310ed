// The check of the chosen recipient certificate before a command encrypts for it, told on
// screen: one not meant for key encipherment is refused, an expired, revoked or untrusted
// one is warned about with the choice to go on or cancel, cancel being the default.
#pragma once

#include "certificates/x509_certificate.h"

namespace Dossiq::Shell {

// True when the command may encrypt for `recipient`. May block while revocation data is
// fetched.
bool ConfirmRecipient(const MHFX::Security::Cryptography::X509::X509Certificate& recipient);

} // namespace Dossiq::Shell
