#pragma once
// How the stub answers a proxy that asks for authentication (HTTP status 407): with the user's
// own logon for the schemes that carry it (Negotiate, NTLM), and never with anything else.
#include <cstdint>
#include <string>

namespace orv {

// Authentication schemes as WinHTTP numbers them (WINHTTP_AUTH_SCHEME_*).
enum AuthScheme : uint32_t {
  kAuthBasic = 0x1,
  kAuthNtlm = 0x2,
  kAuthPassport = 0x4,
  kAuthDigest = 0x8,
  kAuthNegotiate = 0x10,
};

// "none" for 0; otherwise the names of the schemes set in schemes, in the order Negotiate, NTLM,
// Basic, Digest, Passport, then any unknown bits as one hexadecimal number ("0x40"), joined by ", ".
std::string AuthSchemeNames(uint32_t schemes);

struct ProxyAuthDecision {
  bool answer = false;  // answer with the user's logon (no name, no password) ...
  uint32_t scheme = 0;  // ... by this scheme
  std::string refusal;  // otherwise: the log line
};

// The answer to a 407 from proxy (its name for the log) offering `offered` schemes: Negotiate when
// offered, else NTLM, the first time in an exchange. Refused when neither is offered ("Proxy <proxy>
// asks for authentication by <names>; only Negotiate and NTLM are answered, with the user's logon")
// and when the exchange has already answered ("Proxy <proxy> refused the user's logon (<names>)").
[[nodiscard]] ProxyAuthDecision JudgeProxyChallenge(uint32_t offered, bool answeredBefore, const std::string& proxy);

}  // namespace orv
