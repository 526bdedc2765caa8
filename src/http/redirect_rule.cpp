#include "http/redirect_rule.h"

#include "text/ascii_case.h"

namespace orv {
namespace {

constexpr size_t kMaxLocationChars = 4096;

// The length of "http://" or "https://" at the start of url (any case); 0 for another start.
size_t SchemeLength(std::wstring_view url) {
  if (StartsWithIgnoringAsciiCase(url, L"https://")) return 8;
  if (StartsWithIgnoringAsciiCase(url, L"http://")) return 7;
  return 0;
}

bool IsHttps(std::wstring_view url) { return StartsWithIgnoringAsciiCase(url, L"https://"); }

// The end of the authority (host and port) that starts at `at`.
size_t AuthorityEnd(std::wstring_view url, size_t at) {
  const size_t end = url.find_first_of(L"/?#", at);
  return end == std::wstring_view::npos ? url.size() : end;
}

bool Usable(std::wstring_view location) {
  if (location.empty() || location.size() > kMaxLocationChars) return false;
  for (const wchar_t c : location) {
    if (c <= L' ' || c == 0x7F) return false;
  }
  return true;
}

std::wstring WithoutFragment(std::wstring text) {
  const size_t hash = text.find(L'#');
  if (hash != std::wstring::npos) text.resize(hash);
  return text;
}

}  // namespace

bool IsFollowedRedirectStatus(unsigned status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::wstring ResolveRedirect(std::wstring_view from, std::wstring_view location) {
  const size_t fromScheme = SchemeLength(from);
  if (!Usable(location) || fromScheme == 0) return {};
  std::wstring target;
  if (const size_t scheme = SchemeLength(location)) {
    target.assign(location);
  } else if (location.find(L':') < location.find_first_of(L"/?#")) {
    return {};  // another scheme ("ftp:", "file:", "javascript:")
  } else if (location.substr(0, 2) == L"//") {
    target = std::wstring(from.substr(0, fromScheme - 2)) + std::wstring(location);
  } else {
    const size_t authorityEnd = AuthorityEnd(from, fromScheme);
    const std::wstring_view origin = from.substr(0, authorityEnd);
    const std::wstring_view rest = from.substr(authorityEnd);
    const std::wstring_view path = rest.substr(0, rest.find_first_of(L"?#"));
    if (location.front() == L'/') {
      target = std::wstring(origin) + std::wstring(location);
    } else if (location.front() == L'?') {
      target = std::wstring(origin) + std::wstring(path.empty() ? L"/" : path) + std::wstring(location);
    } else {
      const size_t slash = path.rfind(L'/');
      const std::wstring_view folder = slash == std::wstring_view::npos ? std::wstring_view(L"/") : path.substr(0, slash + 1);
      target = std::wstring(origin) + std::wstring(folder) + std::wstring(location);
    }
  }
  target = WithoutFragment(std::move(target));
  const size_t scheme = SchemeLength(target);
  if (scheme == 0 || AuthorityEnd(target, scheme) == scheme) return {};
  return target;
}

RedirectDecision JudgeRedirect(std::wstring_view from, std::wstring_view location, int redirectsSoFar,
                               bool plainHttpAllowed) {
  RedirectDecision decision;
  if (redirectsSoFar >= kMaxRedirects) {
    decision.refusal = "more than " + std::to_string(kMaxRedirects) + " redirects";
    return decision;
  }
  std::wstring target = ResolveRedirect(from, location);
  if (target.empty()) {
    decision.refusal = "a redirect without a usable address";
  } else if (!IsHttps(target) && IsHttps(from)) {
    decision.refusal = "a redirect from https to http";
  } else if (!IsHttps(target) && !plainHttpAllowed) {
    decision.refusal = "a redirect to http without a SHA-256 in the document";
  } else {
    decision.follow = true;
    decision.target = std::move(target);
  }
  return decision;
}

}  // namespace orv
