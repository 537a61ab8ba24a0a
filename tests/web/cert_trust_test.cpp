// Trust on first use for https hosts (portable): when the hosts are probed,
// what is pinned silently and when the user is asked.
#include "web/cert_trust.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace qx;

namespace {

const Text kOne(64, 'a'), kTwo(64, 'b'), kValid(64, 'c');

struct MemoryStore final : PinStore {
  std::map<Text, Text, std::less<>> pins;
  Text Load(std::string_view hostPort) override {
    auto it = pins.find(hostPort);
    return it == pins.end() ? Text() : it->second;
  }
  void Save(std::string_view hostPort, std::string_view pin) override {
    pins[Text(hostPort)] = Text(pin);
  }
};

// A host as the probes see it; each probe is noted ("checked" or "ignored").
struct Host {
  Host(bool validates, bool down, Text pin)
      : validates(validates), down(down), pin(std::move(pin)) {}
  bool validates = false;
  bool down = false;
  Text pin;
  std::vector<std::string> probes;
  CertProbeFn Probe() {
    return [this](bool ignoreErrors) {
      probes.push_back(ignoreErrors ? "ignored" : "checked");
      if (down) return CertProbe{CertProbe::Failed, {}};
      if (!ignoreErrors && !validates) return CertProbe{CertProbe::CertificateRefused, {}};
      return CertProbe{CertProbe::Answered, pin};
    };
  }
  std::vector<std::string> TakeProbes() { return std::exchange(probes, {}); }
};

using Probes = std::vector<std::string>;

class CertTrustTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCertificatePrompt(
        [this](std::string_view host, std::string_view oldPin, std::string_view newPin) {
          asked.push_back(Text(host) + " " + Text(oldPin) + " " + Text(newPin));
          return answer;
        });
  }
  void TearDown() override { SetCertificatePrompt(nullptr); }
  MemoryStore store;
  CertificateTrust trust{store};
  std::vector<Text> asked;
  bool answer = false;
};

TEST_F(CertTrustTest, SelfSignedHostIsPinnedSilentlyAndAChangeIsAskedAbout) {
  Host host{false, false, kOne};
  const Text key = HostPortKey("Portal.Example", 443);
  EXPECT_EQ(key, "portal.example:443");

  CertPlan plan = trust.Plan(key, false, host.Probe());
  EXPECT_EQ(host.TakeProbes(), (Probes{"checked", "ignored"}));
  EXPECT_TRUE(plan.go && plan.ignoreErrors);
  EXPECT_EQ(plan.pin, kOne);
  EXPECT_EQ(store.pins[key], kOne);
  EXPECT_TRUE(asked.empty()) << "the first contact is silent";

  // Once judged, a GET goes without a probe; a request with a body is
  // probed again, and nothing goes to a host that is down.
  EXPECT_TRUE(trust.Plan(key, false, host.Probe()).ignoreErrors);
  EXPECT_TRUE(host.TakeProbes().empty());
  EXPECT_TRUE(trust.Plan(key, true, host.Probe()).go);
  EXPECT_EQ(host.TakeProbes(), Probes{"ignored"});
  host.down = true;
  EXPECT_FALSE(trust.Plan(key, true, host.Probe()).go);
  host.down = false;
  EXPECT_TRUE(asked.empty());

  // A reply with another key is not taken, and the next GET is probed.
  EXPECT_TRUE(trust.ReplyMatches(plan, kOne));
  EXPECT_FALSE(trust.ReplyMatches(plan, kTwo));
  host.pin = kTwo;
  host.TakeProbes();
  EXPECT_FALSE(trust.Plan(key, false, host.Probe()).go) << "the user said no";
  EXPECT_EQ(host.TakeProbes(), Probes{"ignored"});
  EXPECT_EQ(asked, std::vector<Text>{key + " " + kOne + " " + kTwo});
  EXPECT_EQ(store.pins[key], kOne);
  SetCertificatePrompt(nullptr);
  EXPECT_FALSE(trust.Plan(key, false, host.Probe()).go) << "no prompt: refused";

  SetUp();
  answer = true;
  plan = trust.Plan(key, false, host.Probe());
  EXPECT_TRUE(plan.go && plan.ignoreErrors);
  EXPECT_EQ(plan.pin, kTwo);
  EXPECT_EQ(store.pins[key], kTwo);
  EXPECT_EQ(asked.size(), 2u);
  // A plan with checking on needs no key of its reply.
  EXPECT_TRUE(trust.ReplyMatches(CertPlan{}, kOne));
}

TEST_F(CertTrustTest, ValidHostIsCheckedOnceAndAnInvalidStandInIsAChange) {
  Host host{true, false, kValid};
  const Text key = HostPortKey("notice.example", 8443);
  CertPlan plan = trust.Plan(key, true, host.Probe());
  EXPECT_TRUE(plan.go);
  EXPECT_FALSE(plan.ignoreErrors);
  EXPECT_EQ(host.TakeProbes(), Probes{"checked"});
  EXPECT_EQ(store.pins[key], kValid);
  EXPECT_FALSE(trust.Plan(key, true, host.Probe()).ignoreErrors);
  EXPECT_TRUE(host.TakeProbes().empty());

  // A request with checking on fails on the certificate: someone else
  // answers with a key of their own.
  trust.Refused(key);
  host = Host{false, false, kOne};
  EXPECT_FALSE(trust.Plan(key, false, host.Probe()).go);
  EXPECT_EQ(host.TakeProbes(), Probes{"ignored"}) << "never checked again in this process";
  EXPECT_EQ(asked, std::vector<Text>{key + " " + kValid + " " + kOne});

  // A host that cannot be reached is not judged: the request goes, checked.
  Host down{false, true, {}};
  const Text other = HostPortKey("down.example", 443);
  EXPECT_TRUE(trust.Plan(other, true, down.Probe()).go);
  EXPECT_FALSE(trust.Plan(other, true, down.Probe()).ignoreErrors);
  EXPECT_EQ(down.TakeProbes(), (Probes{"checked", "checked"}));
  EXPECT_EQ(store.pins.count(other), 0u);

  // A pin of an earlier run that the host no longer shows: every request
  // asks again until trusted, none goes with checking on.
  const Text known = HostPortKey("known.example", 443);
  store.pins[known] = kOne;
  Host changed{false, false, kTwo};
  EXPECT_FALSE(trust.Plan(known, false, changed.Probe()).go);
  EXPECT_FALSE(trust.Plan(known, false, changed.Probe()).go);
  EXPECT_EQ(changed.TakeProbes(), (Probes{"checked", "ignored", "ignored"}));
  EXPECT_EQ(asked.size(), 3u);

  EXPECT_TRUE(IsCertificateError(12045));
  EXPECT_TRUE(IsCertificateError(12157));
  EXPECT_FALSE(IsCertificateError(12029)) << "cannot connect";
}

TEST(CertificateText, NamesTheHostAndBothFingerprints) {
  const Text oldPin = "00112233445566778899aabbccddeeff" + Text(32, '1');
  const Text text = CertificateChangedText("127.0.0.1:8443", oldPin, Text(64, 'f'));
  EXPECT_NE(text.find("服务器 127.0.0.1:8443 的证书已改变"), Text::npos);
  EXPECT_NE(text.find("00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF\r\n11:11:"), Text::npos);
  EXPECT_NE(text.find("FF:FF:FF:FF:FF:FF:FF:FF:FF:FF:FF:FF:FF:FF:FF:FF\r\nFF:FF"), Text::npos);
  const Text line = "FF:FF:FF:FF:FF:FF:FF:FF:FF:FF:FF:FF:FF:FF:FF:FF";
  EXPECT_EQ(CertificateFingerprint(Text(64, 'f')), line + "\r\n" + line);
}

}  // namespace
