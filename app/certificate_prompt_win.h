// The question the request routines ask when a host shows another
// certificate than its pin (web/cert_trust.h): a box on the window thread.
#pragma once

namespace qx {

// On the window thread, once at start (after StartFlowRunner).
void InstallCertificatePrompt();

}  // namespace qx
