#include "web/cert_trust.h"

#include <string>
#include <utility>

namespace qx {
namespace {

std::mutex g_promptMutex;
CertificatePrompt g_prompt;

bool AskUser(std::string_view hostPort, std::string_view oldPin, std::string_view newPin) {
  CertificatePrompt prompt;
  {
    std::lock_guard lock(g_promptMutex);
    prompt = g_prompt;
  }
  return prompt && prompt(hostPort, oldPin, newPin);
}

}  // namespace

void SetCertificatePrompt(CertificatePrompt prompt) {
  std::lock_guard lock(g_promptMutex);
  g_prompt = std::move(prompt);
}

CertVerdict JudgeCertificate(bool validates, std::string_view storedPin, std::string_view pin) {
  if (validates) return CertVerdict::Validated;
  if (storedPin.empty()) return CertVerdict::FirstContact;
  return storedPin == pin ? CertVerdict::PinnedSame : CertVerdict::Mismatch;
}

Text HostPortKey(std::string_view host, int port) {
  return ToLowerAscii(host) + ":" + std::to_string(port);
}

bool IsCertificateError(unsigned long code) {
  switch (code) {
    case 12037:  // date invalid
    case 12038:  // name invalid
    case 12045:  // unknown authority
    case 12055:  // several errors
    case 12056:  // no revocation check
    case 12057:  // revocation check failed
    case 12157:  // secure channel error: Wine's answer to an unknown authority
    case 12169:  // invalid certificate
    case 12170:  // revoked
    case 12175:  // WinHTTP's secure failure
    case 12179:  // wrong usage
      return true;
    default:
      return false;
  }
}

CertPlan CertificateTrust::Plan(std::string_view hostPort, bool withBody,
                                const CertProbeFn& probe) {
  Host known;
  bool met = false;
  {
    std::lock_guard lock(hostsMutex_);
    if (auto it = hosts_.find(hostPort); it != hosts_.end()) {
      known = it->second;
      met = true;
    }
  }
  CertPlan plan{true, false, Text(hostPort), {}};
  if (known.validates) return plan;
  if (met && !known.pin.empty() && !withBody) {
    plan.ignoreErrors = true;
    plan.pin = known.pin;
    return plan;
  }
  // A host met before is not probed with checking on again: a connection
  // kept from a request that ignored the errors could answer it.
  if (!met) {
    const CertProbe checked = probe(false);
    if (checked.outcome == CertProbe::Failed) return plan;  // the request fails as it would
    if (checked.outcome == CertProbe::Answered) {
      // Its key is kept all the same: should an invalid certificate stand in
      // for it later, that is a change, not a first contact.
      if (!checked.pin.empty() && store_.Load(hostPort) != checked.pin)
        store_.Save(hostPort, checked.pin);
      Set(hostPort, {true, {}});
      return plan;
    }
    Set(hostPort, {false, {}});  // judged below, and from now on with every request
  }
  const CertProbe seen = probe(true);
  if (seen.outcome != CertProbe::Answered || seen.pin.empty() || !Accept(hostPort, seen.pin)) {
    plan.go = false;
    return plan;
  }
  Set(hostPort, {false, seen.pin});
  plan.ignoreErrors = true;
  plan.pin = seen.pin;
  return plan;
}

bool CertificateTrust::Accept(std::string_view hostPort, std::string_view pin) {
  std::lock_guard lock(decideMutex_);
  const Text stored = store_.Load(hostPort);
  switch (JudgeCertificate(false, stored, pin)) {
    case CertVerdict::Validated:
    case CertVerdict::PinnedSame:
      return true;
    case CertVerdict::FirstContact:
      store_.Save(hostPort, pin);
      return true;
    case CertVerdict::Mismatch:
      break;
  }
  if (!AskUser(hostPort, stored, pin)) return false;
  store_.Save(hostPort, pin);
  return true;
}

bool CertificateTrust::ReplyMatches(const CertPlan& plan, std::string_view replyPin) {
  if (!plan.ignoreErrors || replyPin == plan.pin) return true;
  Refused(plan.hostPort);
  return false;
}

void CertificateTrust::Refused(std::string_view hostPort) { Set(hostPort, {false, {}}); }

void CertificateTrust::Forget() {
  std::lock_guard lock(hostsMutex_);
  hosts_.clear();
}

void CertificateTrust::Set(std::string_view hostPort, const Host& host) {
  std::lock_guard lock(hostsMutex_);
  hosts_.insert_or_assign(Text(hostPort), host);
}

Text CertificateFingerprint(std::string_view pin) {
  Text out;
  for (size_t i = 0; i + 1 < pin.size(); i += 2) {
    if (i > 0) out += i % 32 == 0 ? "\r\n" : ":";
    out += ToUpperAscii(pin.substr(i, 2));
  }
  return out;
}

Text CertificateChangedText(std::string_view hostPort, std::string_view oldPin,
                            std::string_view newPin) {
  return "服务器 " + Text(hostPort) + " 的证书已改变！\r\n\r\n原证书指纹（SHA-256）：\r\n" +
         CertificateFingerprint(oldPin) + "\r\n\r\n新证书指纹（SHA-256）：\r\n" +
         CertificateFingerprint(newPin) +
         "\r\n\r\n若服务器并未更换证书，可能有人正在冒充它。\r\n是否信任新证书并继续？";
}

}  // namespace qx
