// The redirects the stub follows and the proxy challenges it answers.
#include <gtest/gtest.h>

#include <string>

#include "http/proxy_auth.h"
#include "http/redirect_rule.h"

namespace {

using namespace orv;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

}  // namespace

TEST(RedirectRule, WhereARedirectLeadsAndWhetherItIsFollowed) {
  struct Case {
    const wchar_t* from;
    const wchar_t* location;
    int soFar;
    bool plainHttpAllowed;
    const wchar_t* target;  // followed: this address; otherwise nullptr
    const char* refusal;
  };
  const Case cases[] = {
      {L"https://a.example/x/setup.exe?rn=1", L"https://cdn.example/s.exe", 0, false, L"https://cdn.example/s.exe", ""},
      {L"https://a.example/x/setup.exe?rn=1", L"/y/s.exe", 0, false, L"https://a.example/y/s.exe", ""},
      {L"https://a.example:8443/x/setup.exe", L"s2.exe?v=2#part", 0, false, L"https://a.example:8443/x/s2.exe?v=2", ""},
      {L"https://a.example/x/setup.exe?rn=1", L"?rn=2", 0, false, L"https://a.example/x/setup.exe?rn=2", ""},
      {L"https://a.example?rn=1", L"?rn=2", 0, false, L"https://a.example/?rn=2", ""},
      {L"https://a.example/x", L"//b.example/s.exe", 0, false, L"https://b.example/s.exe", ""},
      {L"HTTP://a.example/x", L"HTTPS://b.example/s.exe", 9, false, L"HTTPS://b.example/s.exe", ""},
      {L"https://a.example/x", L"https://b.example/s.exe", 10, true, nullptr, "more than 10 redirects"},
      {L"https://a.example/x", L"http://b.example/s.exe", 0, true, nullptr, "a redirect from https to http"},
      {L"https://a.example/x", L"//b.example/s.exe", 0, true, L"https://b.example/s.exe", ""},
      {L"http://a.example/x", L"http://b.example/s.exe", 0, true, L"http://b.example/s.exe", ""},
      {L"http://a.example/x", L"/s.exe", 0, false, nullptr, "a redirect to http without a SHA-256 in the document"},
      {L"http://a.example/x", L"https://b.example/s.exe", 0, false, L"https://b.example/s.exe", ""},
      {L"https://a.example/x", L"ftp://b.example/s.exe", 0, true, nullptr, "a redirect without a usable address"},
      {L"https://a.example/x", L"file:///c:/s.exe", 0, true, nullptr, "a redirect without a usable address"},
      {L"https://a.example/x", L"https:///s.exe", 0, true, nullptr, "a redirect without a usable address"},
      {L"https://a.example/x", L"/s.exe\r\nX: y", 0, true, nullptr, "a redirect without a usable address"},
      {L"https://a.example/x", L"", 0, true, nullptr, "a redirect without a usable address"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.from) + " -> " + Narrow(c.location));
    const RedirectDecision decision = JudgeRedirect(c.from, c.location, c.soFar, c.plainHttpAllowed);
    EXPECT_EQ(decision.follow, c.target != nullptr);
    if (c.target) {
      EXPECT_EQ(Narrow(decision.target), Narrow(c.target));
    }
    EXPECT_EQ(decision.refusal, c.refusal);
  }
  EXPECT_EQ(ResolveRedirect(L"https://a.example/x", std::wstring(4097, L'a')), L"");
  for (unsigned status : {301u, 302u, 303u, 307u, 308u}) EXPECT_TRUE(IsFollowedRedirectStatus(status)) << status;
  for (unsigned status : {300u, 304u, 305u, 200u}) EXPECT_FALSE(IsFollowedRedirectStatus(status)) << status;
}

TEST(ProxyAuth, OnlyTheUsersLogonIsEverOffered) {
  struct Case {
    const char* name;
    uint32_t offered;
    bool answeredBefore;
    bool answer;
    uint32_t scheme;
    const char* refusal;
  };
  const Case cases[] = {
      {"Negotiate first", kAuthNtlm | kAuthNegotiate | kAuthBasic, false, true, kAuthNegotiate, ""},
      {"NTLM alone", kAuthNtlm, false, true, kAuthNtlm, ""},
      {"Basic only", kAuthBasic, false, false, 0,
       "Proxy p:3128 asks for authentication by Basic; only Negotiate and NTLM are answered, with the user's logon"},
      {"Basic and Digest", kAuthBasic | kAuthDigest, false, false, 0,
       "Proxy p:3128 asks for authentication by Basic, Digest; only Negotiate and NTLM are answered, with the user's logon"},
      {"nothing offered", 0, false, false, 0,
       "Proxy p:3128 asks for authentication by none; only Negotiate and NTLM are answered, with the user's logon"},
      {"unknown scheme bits", kAuthBasic | 0x40, false, false, 0,
       "Proxy p:3128 asks for authentication by Basic, 0x40; only Negotiate and NTLM are answered, with the user's logon"},
      {"logon already refused", kAuthNegotiate | kAuthNtlm, true, false, 0,
       "Proxy p:3128 refused the user's logon (Negotiate, NTLM)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProxyAuthDecision decision = JudgeProxyChallenge(c.offered, c.answeredBefore, "p:3128");
    EXPECT_EQ(decision.answer, c.answer);
    EXPECT_EQ(decision.scheme, c.scheme);
    EXPECT_EQ(decision.refusal, c.refusal);
  }
}
