// The request routines' text rules: header names and defaults, the agent,
// the Cookie line, Set-Cookie and Location capture, the status text, the cut
// body check, the page charset and the page decoding. Input: method byte,
// flags byte, four timeout bytes, headers 1E url-or-cookies 1E block or body.
#include <cstring>

#include "tools/fuzz/fuzz_util.h"
#include "web/fetch_page.h"
#include "web/request_rules.h"

namespace {
bool IsWordOrDash(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         c == '-';
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const int method = static_cast<int8_t>(in.Byte());
  const uint8_t flags = in.Byte();
  uint32_t raw = 0;
  for (int k = 0; k < 4; ++k) raw = raw << 8 | in.Byte();
  int seconds;
  std::memcpy(&seconds, &raw, sizeof seconds);
  const std::string headers = in.Piece(), other = in.Piece(), block = in.Rest();

  FUZZ_CHECK(qx::MethodVerb(method) != nullptr);
  (void)qx::NormalizeHeaderNames(headers);
  FUZZ_CHECK(!qx::FetchAgent(headers).empty());
  const qx::Text complete = qx::CompleteFetchHeaders(headers, other, method);
  FUZZ_CHECK(qx::FindText(complete, "Referer:", 1, true) > 0);
  (void)qx::AppendFetchCookieHeader(headers, other);
  (void)qx::WinHttpRequestHeaders(headers, method, other, flags & 1, flags & 2);
  const int ms = qx::WinHttpTimeoutMs(seconds);
  FUZZ_CHECK(ms >= 1000);

  qx::Text value;
  // Every "Set-Cookie:" of the line is taken out of the value: with one, the
  // value is a piece of the line.
  const long first = qx::FindText(headers, "Set-Cookie:", 1, true);
  const bool once = first > 0 && qx::FindText(headers, "Set-Cookie:", first + 1, true) < 0;
  if (qx::SetCookieFromLine(headers, value) && once)
    FUZZ_CHECK(headers.find(value) != std::string::npos);
  if (qx::LocationFromLine(headers, value)) FUZZ_CHECK(headers.find(value) != std::string::npos);
  (void)qx::CookiesFromHeaders(block);
  FUZZ_CHECK(block.find(qx::StatusTextOf(block)) != std::string::npos);
  (void)qx::BodyCutShort(block, method, other.size());

  const qx::Text charset = qx::DetectMetaCharset(block);
  for (char c : charset) FUZZ_CHECK(IsWordOrDash(c));
  FUZZ_CHECK(block.substr(0, 1024).find(charset) != std::string::npos);
  (void)qx::CodePageOfCharset(other);
  (void)qx::DecodePage(block);
  return 0;
}
