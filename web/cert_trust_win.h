// The Windows side of the certificate trust (web/cert_trust.h): a
// certificate's pin, and the process's trust with its pins in the registry,
// HKCU\Software\QARVEX\CertificatePins (one text value per host:port), kept
// for this user whatever becomes of the data folder.
#pragma once

#include <windows.h>
// wincrypt.h needs windows.h first.
#include <wincrypt.h>

#include "base/text.h"
#include "web/cert_trust.h"

namespace qx {

inline constexpr wchar_t kCertificatePinsKey[] = L"Software\\QARVEX\\CertificatePins";

// The SHA-256 of the certificate's SubjectPublicKeyInfo in lower-case hex;
// empty when there is no certificate or it cannot be read.
Text CertificatePin(PCCERT_CONTEXT cert);
// The pin of the first certificate of a chain (the server's own).
Text ChainPin(PCCERT_CHAIN_CONTEXT chain);

// The process's one trust, both request routines share it.
CertificateTrust& HostCertificates();

}  // namespace qx
