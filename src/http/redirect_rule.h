#pragma once
// Which redirects the stub follows itself (WinHTTP's own following is turned off): a bounded
// number, never from https down to plain http, and to plain http only when the bytes fetched are
// checked by a SHA-256 from the configuration document.
#include <string>
#include <string_view>

namespace orv {

// Redirects followed in one exchange at most; the next one is refused.
inline constexpr int kMaxRedirects = 10;

// The HTTP statuses followed as redirects: 301, 302, 303, 307 and 308.
bool IsFollowedRedirectStatus(unsigned status);

// "" when location cannot be used: empty, longer than 4096 characters, holding a control
// character or a space, with another scheme than http or https, or without a host. Otherwise the
// absolute address it names, resolved against from (an http or https address): an absolute
// http(s) address as it is, "//host/..." with from's scheme, "/path" with from's scheme and host,
// "?query" with from's path, and any other text relative to from's path. A fragment ("#...") is
// dropped.
std::wstring ResolveRedirect(std::wstring_view from, std::wstring_view location);

struct RedirectDecision {
  bool follow = false;
  std::wstring target;  // follow: the resolved address
  std::string refusal;  // otherwise: why, for the log
};

// Whether the redirect from `from` to location, after redirectsSoFar followed ones, is followed:
// not past kMaxRedirects ("more than 10 redirects"), not without a usable address ("a redirect
// without a usable address"), never from https to http ("a redirect from https to http"), and to
// http only when plainHttpAllowed ("a redirect to http without a SHA-256 in the document").
[[nodiscard]] RedirectDecision JudgeRedirect(std::wstring_view from, std::wstring_view location, int redirectsSoFar,
                                             bool plainHttpAllowed);

}  // namespace orv
