#include "http/proxy_auth.h"

namespace orv {

std::string AuthSchemeNames(uint32_t schemes) {
  static constexpr struct {
    uint32_t bit;
    const char* name;
  } kNames[] = {{kAuthNegotiate, "Negotiate"}, {kAuthNtlm, "NTLM"}, {kAuthBasic, "Basic"},
                {kAuthDigest, "Digest"},       {kAuthPassport, "Passport"}};
  std::string names;
  uint32_t unknown = schemes;
  for (const auto& known : kNames) {
    if ((schemes & known.bit) == 0) continue;
    unknown &= ~known.bit;
    names += names.empty() ? "" : ", ";
    names += known.name;
  }
  if (unknown != 0) {
    std::string hex;
    for (uint32_t rest = unknown; rest != 0; rest >>= 4) hex.insert(hex.begin(), "0123456789abcdef"[rest & 0xF]);
    names += names.empty() ? "" : ", ";
    names += "0x" + hex;
  }
  return names.empty() ? "none" : names;
}

ProxyAuthDecision JudgeProxyChallenge(uint32_t offered, bool answeredBefore, const std::string& proxy) {
  ProxyAuthDecision decision;
  const uint32_t logon = offered & (kAuthNegotiate | kAuthNtlm);
  if (answeredBefore) {
    decision.refusal = "Proxy " + proxy + " refused the user's logon (" + AuthSchemeNames(offered) + ")";
  } else if (logon == 0) {
    decision.refusal = "Proxy " + proxy + " asks for authentication by " + AuthSchemeNames(offered) +
                       "; only Negotiate and NTLM are answered, with the user's logon";
  } else {
    decision.answer = true;
    decision.scheme = (logon & kAuthNegotiate) != 0 ? kAuthNegotiate : kAuthNtlm;
  }
  return decision;
}

}  // namespace orv
