#include "web/cert_trust_win.h"

#include "base/handles_win.h"
#include "base/wide_win.h"

namespace qx {
namespace {

class RegistryPinStore final : public PinStore {
 public:
  Text Load(std::string_view hostPort) override {
    wchar_t value[128] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kCertificatePinsKey, Wide(hostPort).c_str(), RRF_RT_REG_SZ,
                     nullptr, value, &size) != ERROR_SUCCESS)
      return {};
    return Narrow(value);
  }
  void Save(std::string_view hostPort, std::string_view pin) override {
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kCertificatePinsKey, 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &opened, nullptr) != ERROR_SUCCESS)
      return;
    const UniqueRegKey key(opened);
    const std::wstring text = Wide(pin);
    RegSetValueExW(key.get(), Wide(hostPort).c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
};

}  // namespace

Text CertificatePin(PCCERT_CONTEXT cert) {
  if (!cert || !cert->pCertInfo) return {};
  BYTE* der = nullptr;
  DWORD derSize = 0;
  if (!CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO,
                           &cert->pCertInfo->SubjectPublicKeyInfo, CRYPT_ENCODE_ALLOC_FLAG, nullptr,
                           &der, &derSize))
    return {};
  const UniqueLocal owned(der);
  BYTE hash[32];
  DWORD hashSize = sizeof hash;
  if (!CryptHashCertificate2(L"SHA256", 0, nullptr, der, derSize, hash, &hashSize) ||
      hashSize != sizeof hash)
    return {};
  return ToLowerAscii(HexUpper(std::string_view(reinterpret_cast<const char*>(hash), hashSize)));
}

Text ChainPin(PCCERT_CHAIN_CONTEXT chain) {
  if (!chain || chain->cChain < 1 || chain->rgpChain[0]->cElement < 1) return {};
  return CertificatePin(chain->rgpChain[0]->rgpElement[0]->pCertContext);
}

CertificateTrust& HostCertificates() {
  static RegistryPinStore store;
  static CertificateTrust trust(store);
  return trust;
}

}  // namespace qx
