// Trust in the certificates of https hosts, on first use as PuTTY does with
// host keys. A certificate that validates is accepted. One that does not is
// pinned the first time its host is met, silently: the pin is the SHA-256 of
// its public key (SubjectPublicKeyInfo), kept for this user per host:port.
// Later, another certificate that does not validate stops the request before
// anything is sent to the host, and the user is asked whether to trust it.
//
// The request routines cannot see a certificate before a request has been
// answered, so a host is first probed with a request that carries nothing
// (no body, no cookie): with certificate checking on, then, when its
// certificate does not validate, with the errors ignored, to read its key.
// What this process learnt of each host is kept, so that a request to a
// host whose certificate validated, or a GET to one whose pin was just
// checked, costs no probe; a request with a body is always probed first, and
// a reply read with the errors ignored must bring the key that was checked.
// Portable: the routines (*_win.cpp) bring the probes and the pins' store.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string_view>

#include "base/text.h"

namespace qx {

// Where the pins are kept: one per host:port, 64 lower-case hex digits.
class PinStore {
 public:
  virtual ~PinStore() = default;
  virtual Text Load(std::string_view hostPort) = 0;  // empty: no pin
  virtual void Save(std::string_view hostPort, std::string_view pin) = 0;
};

// What a probe of the host saw: its answer and the pin of its certificate
// (empty when it could not be read), or why it has none.
struct CertProbe {
  enum Outcome { Answered, CertificateRefused, Failed } outcome = Failed;
  Text pin;
};
// Sends the probe, with certificate errors ignored or not.
using CertProbeFn = std::function<CertProbe(bool ignoreCertErrors)>;

// Asks the user whether to trust a host's new certificate (both pins given);
// true: trust it. The program installs its box at start; without one, a
// changed certificate is refused.
using CertificatePrompt = std::function<bool(std::string_view hostPort, std::string_view oldPin,
                                             std::string_view newPin)>;
void SetCertificatePrompt(CertificatePrompt prompt);

enum class CertVerdict { Validated, PinnedSame, FirstContact, Mismatch };
CertVerdict JudgeCertificate(bool validates, std::string_view storedPin, std::string_view pin);

// How one request to an https host goes.
struct CertPlan {
  bool go = true;             // false: the request fails, nothing was sent
  bool ignoreErrors = false;  // certificate errors ignored: the reply's key must be `pin`
  Text hostPort, pin;
};

// "host:port" with the host in lower case: the key of a host's pin.
Text HostPortKey(std::string_view host, int port);
// An error of either request routine (WinINet and WinHTTP share the numbers)
// that may come from the server's certificate not validating.
bool IsCertificateError(unsigned long code);

// What the process knows of the hosts' certificates. Any thread may use it.
class CertificateTrust {
 public:
  explicit CertificateTrust(PinStore& store) : store_(store) {}
  // Decides, probing when it must, how a request goes; asks the user when
  // the host shows another certificate than its pin.
  CertPlan Plan(std::string_view hostPort, bool withBody, const CertProbeFn& probe);
  // After a request sent with the errors ignored was answered: false when
  // the reply's key is not the planned one (the host is probed afresh next).
  bool ReplyMatches(const CertPlan& plan, std::string_view replyPin);
  // A request sent with checking on failed on its certificate: the host's
  // next request is probed (with the errors ignored) and its key judged.
  void Refused(std::string_view hostPort);
  void Forget();  // everything the process learnt (the pins stay)

 private:
  struct Host {
    bool validates = false;
    Text pin;  // checked in this process; empty: to be checked again
  };
  bool Accept(std::string_view hostPort, std::string_view pin);
  void Set(std::string_view hostPort, const Host& host);

  PinStore& store_;
  std::mutex hostsMutex_;
  std::map<Text, Host, std::less<>> hosts_;
  std::mutex decideMutex_;  // one decision (and box) at a time
};

// A pin as the user sees it: upper-case hex pairs joined by ":", 16 a line.
Text CertificateFingerprint(std::string_view pin);
// The box that asks whether to trust a host's new certificate (GBK).
Text CertificateChangedText(std::string_view hostPort, std::string_view oldPin,
                            std::string_view newPin);

}  // namespace qx
