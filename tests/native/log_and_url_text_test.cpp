// Texts from outside on their way into the log and into the cancellation page's address.
#include <gtest/gtest.h>

#include <string>

#include "text/log_escape.h"
#include "text/utf8.h"
#include "text/web_address.h"

namespace {
using namespace orv;

TEST(LogEscape, KeepsOneLinePerValue) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"C:\\Users\\J\xc3\xbcrgen\\Temp\\orv1A.tmp.exe", "C:\\Users\\J\xc3\xbcrgen\\Temp\\orv1A.tmp.exe"},
      {"/S\r\n2026-12-07 08:10:42,517 ERROR forged", "/S\\r\\n2026-12-07 08:10:42,517 ERROR forged"},
      {"a\nb\rc\td", "a\\nb\\rc\\td"},
      {std::string("nul\0x", 5), "nul\\x00x"},
      {"\x1b[31mred\x7f", "\\x1B[31mred\\x7F"},
      {"next\xc2\x85line", "next\\u0085line"},                  // NEL, a C1 control
      {"ls\xe2\x80\xa8ps\xe2\x80\xa9", "ls\\u2028ps\\u2029"},  // line and paragraph separators
      {"cut\xe2\x80", "cut\\xE2\\x80"},                          // a sequence cut off at the end
      {"bad\xff\xc0\x80", "bad\\xFF\\xC0\\x80"},                 // not UTF-8, overlong form
      {"sur\xed\xa0\x80", "sur\\xED\\xA0\\x80"},                 // an encoded surrogate
      {"\xf0\x9f\x98\x80 \xe6\x97\xa5", "\xf0\x9f\x98\x80 \xe6\x97\xa5"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EscapeLogValue(c.in), c.out) << "input: " << EscapeLogValue(c.in);
  }
}

TEST(LogEscape, NoControlByteSurvivesAnyInput) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  for (const std::string& text : {all, all + all.substr(0xC2, 2) + "\xe2\x80\xa8"}) {
    const std::string escaped = EscapeLogValue(text);
    for (const char c : escaped) {
      const unsigned char u = static_cast<unsigned char>(c);
      EXPECT_FALSE(u < 0x20 || u == 0x7F) << "control byte " << static_cast<int>(u) << " in " << escaped;
    }
    EXPECT_EQ(escaped.find("\xc2\x85"), std::string::npos);
    EXPECT_EQ(escaped.find("\xe2\x80\xa8"), std::string::npos);
    const std::wstring wide = FromUtf8(escaped);
    EXPECT_EQ(wide.find(L'\ufffd'), std::wstring::npos) << "the escaped text is valid UTF-8";
  }
}

TEST(PercentEncode, EncodesEverythingButUnreservedCharacters) {
  struct Case {
    std::wstring in;
    std::wstring out;
  };
  const Case cases[] = {
      {L"4.1.674", L"4.1.674"},
      {L"4.1 beta&x=1#y", L"4.1%20beta%26x%3D1%23y"},
      {L"AZaz09-._~", L"AZaz09-._~"},
      {L"a/b?c%d+e", L"a%2Fb%3Fc%25d%2Be"},
      {L"\r\n", L"%0D%0A"},
      {L"J\u00fcrgen", L"J%C3%BCrgen"},
      {L"\u65e5", L"%E6%97%A5"},
      {std::wstring(1, static_cast<wchar_t>(0xD800)), L"%EF%BF%BD"},
      {L"", L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PercentEncode(c.in), c.out) << "input: " << ToUtf8(c.in);
  }
}

TEST(WebUrl, OnlyHttpAndHttpsAddressesWithAHost) {
  struct Case {
    const wchar_t* url;
    bool openable;
  };
  const Case cases[] = {
      {L"http://www.orvandel.com/installation-cancelled/?v=4.1.674", true},
      {L"HTTPS://h", true},
      {L"http://h:8080?v=1", true},
      {L"http://", false},
      {L"http:///path", false},
      {L"file:///C:/Windows/System32/calc.exe", false},
      {L"C:\\Windows\\System32\\calc.exe", false},
      {L"ms-settings:", false},
      {L"javascript:alert(1)", false},
      {L"httpx://h", false},
      {L" http://h", false},
      {L"http://h/a b", false},
      {L"http://h/\r\nx", false},
      {L"http://h/\x7f", false},
      {L"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsWebUrl(c.url), c.openable) << ToUtf8(c.url);
  }
}

}  // namespace
