// The cancellation page opener hands nothing but an http or https address to the shell.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "launch/open_web_page.h"
#include "text/utf8.h"

namespace {
using namespace orv;

TEST(OpenWebPage, RefusesEverythingButWebAddresses) {
  const wchar_t* refused[] = {
      L"file:///C:/windows/system32/calc.exe", L"C:\\windows\\system32\\calc.exe", L"calc.exe",
      L"ms-settings:",  L"mailto:a@b.c",     L"\\\\server\\share\\x.exe",      L"http://",
      L"http://h/\r\nx", L"",
  };
  for (const wchar_t* url : refused) {
    const Status opened = OpenWebPageAsDesktopUser(url);
    EXPECT_FALSE(opened.ok()) << ToUtf8(url);
    EXPECT_EQ(opened.code(), static_cast<uint32_t>(ERROR_INVALID_PARAMETER)) << ToUtf8(url);
  }
}

}  // namespace
