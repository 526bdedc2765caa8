#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/config_document.h"
#include "config/stub_config.h"
#include "contract/run_error.h"
#include "text/utf8.h"
#include "util/sha256.h"

namespace {
using namespace orv;

// The whole document read as the run reads it; the error is "" when every key is usable.
struct ReadResult {
  StubConfig config;
  std::string error;
};

ReadResult ReadAll(const std::wstring& text) {
  ReadResult r;
  Result<StubConfig> read = ReadStubConfig(text);
  if (read.ok()) {
    r.config = std::move(*read);
  } else {
    r.error = read.status().detail();
    EXPECT_EQ(read.status().error(), RunError::ConfigParse) << ToUtf8(text);
    EXPECT_FALSE(r.error.empty()) << ToUtf8(text);
  }
  return r;
}

// A document whose values, given as JSON text, replace the good ones.
std::wstring Document(const std::wstring& shortcut, const std::wstring& wrapper, const std::wstring& checksum,
                      const std::wstring& version) {
  return L"{\"shortcut\": " + shortcut + L", \"wrapper\": " + wrapper + L", \"checksum\": " + checksum +
         L", \"version\": " + version + L"}";
}

const std::wstring kShortcut = L"true";
const std::wstring kWrapper = L"\"https://dl.example.com/inst.exe\"";
const std::wstring kChecksum = L"3735928559";
const std::wstring kVersion = L"\"4.1.674\"";
// SHA-256 of "abc" (FIPS 180-2), as the document writes it and as its bytes.
const std::wstring kAbcHex = L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const Sha256Digest kAbc = Sha256Of("abc", 3);

// The good document with extra members (JSON text, each starting with ", ") before the closing brace.
std::wstring DocumentWith(const std::wstring& wrapper, const std::wstring& extra) {
  std::wstring text = Document(kShortcut, wrapper, kChecksum, kVersion);
  text.insert(text.size() - 1, extra);
  return text;
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return text;
}

}  // namespace

TEST(ConfigDocumentParse, SyntaxErrorsNameMessageLineAndColumn) {
  struct Case {
    const wchar_t* text;
    const char* error;
  };
  const Case cases[] = {
      {L"", "syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal"
            " at line 1, column 1"},
      {L"<html><body>Not Found</body></html>",
       "syntax error while parsing value - invalid literal; last read: '<' at line 1, column 1"},
      {L"{\"shortcut\": true,}",
       "syntax error while parsing object key - unexpected '}'; expected string literal at line 1, column 19"},
      {L"{\n  \"a\": 1,\n}\n",
       "syntax error while parsing object key - unexpected '}'; expected string literal at line 3, column 1"},
      {L"{\"a\": [1, 2}", "syntax error while parsing array - unexpected '}'; expected ']' at line 1, column 12"},
      {L"{\"a\": 1} {}",
       "syntax error while parsing value - unexpected '{'; expected end of input at line 1, column 10"},
      // Columns count characters, not the bytes of their UTF-8 form.
      {L"{\"\u00e4\u00f6\": tru}",
       "syntax error while parsing value - invalid literal; last read: '\"\u00e4\u00f6\": tru}' at line 1, column 11"},
      {L"/* only a comment */",
       "syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal"
       " at line 1, column 21"},
  };
  for (const Case& c : cases) {
    ConfigDocument document;
    const Status parsed = document.Parse(c.text);
    EXPECT_FALSE(parsed.ok()) << ToUtf8(c.text);
    EXPECT_EQ(parsed.detail(), c.error) << ToUtf8(c.text);
    // A failed parse leaves nothing to read.
    EXPECT_EQ(document.ReadShortcut().status().detail(), "Not an object") << ToUtf8(c.text);
  }
}

TEST(ConfigDocumentParse, RefusesDeepNestingAndCutsLongDetails) {
  ConfigDocument document;
  const std::wstring deep = L"{\"x\": " + std::wstring(40, L'[') + std::wstring(40, L']') + L"}";
  EXPECT_EQ(document.Parse(deep).detail(), "Containers nested deeper than 32 levels");

  const std::wstring nested31 = L"{\"x\": " + std::wstring(31, L'[') + std::wstring(31, L']') + L"}";
  const Status nested = document.Parse(nested31);
  EXPECT_TRUE(nested.ok()) << nested.detail();

  // A control character ends a long string token that the parser quotes back.
  const std::wstring longToken = L"{\"" + std::wstring(5000, L'a') + L"\n\": 1}";
  const std::string error = document.Parse(longToken).detail();
  EXPECT_LT(error.size(), 260u) << error;
  EXPECT_NE(error.find("aaa... at line 1, column 5003"), std::string::npos) << error;
}

TEST(ConfigDocumentRead, GoodDocumentsGiveTheirValues) {
  struct Case {
    std::wstring text;
    bool shortcut;
    const wchar_t* wrapper;
    uint32_t checksum;
    std::wstring version;
    std::optional<Sha256Digest> sha256 = std::nullopt;
  };
  const Case cases[] = {
      {Document(kShortcut, kWrapper, kChecksum, kVersion), true, L"https://dl.example.com/inst.exe", 3735928559u,
       L"4.1.674"},
      // Comments before and inside the object.
      {L"// published 2026-12-07\n/* block */ {\"shortcut\": false, // no copy\n"
       L"\"wrapper\": \"http://h:8080/i.exe?a=1\", \"checksum\": 0, \"version\": \"\",\n"
       L"\"sha256\": \"" + kAbcHex + L"\"}",
       false, L"http://h:8080/i.exe?a=1", 0u, L"", kAbc},
      // Extra keys, of any type, in any order.
      {L"{\"version\": \"1\", \"extra\": [1, {\"a\": null}], \"checksum\": 7, \"shortcut\": true,"
       L" \"wrapper\": \"HTTPS://H/\", \"more\": -1.5}",
       true, L"HTTPS://H/", 7u, L"1"},
      // Only the low 32 bits of the checksum count.
      {Document(kShortcut, kWrapper, L"4294967297", kVersion), true, L"https://dl.example.com/inst.exe", 1u,
       L"4.1.674"},
      {Document(kShortcut, kWrapper, L"18446744073709551615", kVersion), true, L"https://dl.example.com/inst.exe",
       0xFFFFFFFFu, L"4.1.674"},
      {Document(kShortcut, kWrapper, L"-0", kVersion), true, L"https://dl.example.com/inst.exe", 0u, L"4.1.674"},
      // Escapes and characters beyond ASCII come through as wide text.
      {Document(kShortcut, L"\"https://h/\\u00e4.exe\"", kChecksum, L"\"5 \\u65e5\\u672c\""), true,
       L"https://h/\u00e4.exe", 3735928559u, L"5 \u65e5\u672c"},
      {Document(kShortcut, kWrapper, kChecksum, L"\"" + std::wstring(64, L'9') + L"\""), true,
       L"https://dl.example.com/inst.exe", 3735928559u, std::wstring(64, L'9')},
      // "sha256" in either case, with https or plain http (any case of the scheme).
      {DocumentWith(kWrapper, L", \"sha256\": \"" + Upper(kAbcHex) + L"\""), true,
       L"https://dl.example.com/inst.exe", 3735928559u, L"4.1.674", kAbc},
      {DocumentWith(L"\"HTTP://h/i.exe\"", L", \"sha256\": \"" + kAbcHex + L"\""), true, L"HTTP://h/i.exe",
       3735928559u, L"4.1.674", kAbc},
  };
  for (const Case& c : cases) {
    const ReadResult r = ReadAll(c.text);
    EXPECT_EQ(r.error, "") << ToUtf8(c.text);
    EXPECT_EQ(r.config.shortcut, c.shortcut) << ToUtf8(c.text);
    EXPECT_EQ(r.config.wrapper, c.wrapper) << ToUtf8(c.text);
    EXPECT_EQ(r.config.checksum, c.checksum) << ToUtf8(c.text);
    EXPECT_EQ(r.config.version, c.version) << ToUtf8(c.text);
    EXPECT_EQ(r.config.sha256, c.sha256) << ToUtf8(c.text);
  }
}

TEST(ConfigDocumentRead, BadValuesGiveTheirErrorText) {
  struct Case {
    std::wstring text;
    const char* error;
  };
  const Case cases[] = {
      {L"[1, 2]", "Not an object"},
      {L"\"text\"", "Not an object"},
      {L"null", "Not an object"},
      {L"{}", "shortcut not found"},
      {L"{\"wrapper\": \"https://h/\", \"checksum\": 1, \"version\": \"1\"}", "shortcut not found"},
      {L"{\"shortcut\": true, \"checksum\": 1, \"version\": \"1\"}", "wrapper not found"},
      {L"{\"shortcut\": true, \"wrapper\": \"https://h/\", \"version\": \"1\"}", "checksum not found"},
      {L"{\"shortcut\": true, \"wrapper\": \"https://h/\", \"checksum\": 1}", "version not found"},
      {L"{\"Shortcut\": true, \"wrapper\": \"https://h/\", \"checksum\": 1, \"version\": \"1\"}",
       "shortcut not found"},
      {Document(L"1", kWrapper, kChecksum, kVersion), "Not a bool"},
      {Document(L"\"true\"", kWrapper, kChecksum, kVersion), "Not a bool"},
      {Document(L"null", kWrapper, kChecksum, kVersion), "Not a bool"},
      {Document(kShortcut, L"42", kChecksum, kVersion), "Not a string"},
      {Document(kShortcut, L"[\"https://h/\"]", kChecksum, kVersion), "Not a string"},
      {Document(kShortcut, kWrapper, L"-1", kVersion), "Not an unsigned integer"},
      {Document(kShortcut, kWrapper, L"1.5", kVersion), "Not an unsigned integer"},
      {Document(kShortcut, kWrapper, L"1.0", kVersion), "Not an unsigned integer"},
      {Document(kShortcut, kWrapper, L"1e3", kVersion), "Not an unsigned integer"},
      {Document(kShortcut, kWrapper, L"18446744073709551616", kVersion), "Not an unsigned integer"},
      {Document(kShortcut, kWrapper, L"\"3735928559\"", kVersion), "Not an unsigned integer"},
      {Document(kShortcut, kWrapper, L"true", kVersion), "Not an unsigned integer"},
      {Document(kShortcut, kWrapper, kChecksum, L"4.1"), "Not a string"},
      {Document(kShortcut, kWrapper, kChecksum, L"null"), "Not a string"},
      // Values that could not be used safely.
      {Document(kShortcut, kWrapper, kChecksum, L"\"1\\\" -evil \\\"\""), "version holds a double quote"},
      {Document(kShortcut, kWrapper, kChecksum, L"\"1\\n2\""), "version holds a control character"},
      {Document(kShortcut, kWrapper, kChecksum, L"\"1\\u0000\""), "version holds a control character"},
      {Document(kShortcut, kWrapper, kChecksum, L"\"1\\u0085\""), "version holds a control character"},
      {Document(kShortcut, kWrapper, kChecksum, L"\"1.0\\\\\""), "version ends in a backslash"},
      {Document(kShortcut, kWrapper, kChecksum, L"\"" + std::wstring(65, L'9') + L"\""),
       "version is longer than 64 characters"},
      {Document(kShortcut, L"\"ftp://h/i.exe\"", kChecksum, kVersion), "wrapper is not an http or https URL"},
      {Document(kShortcut, L"\"file:///C:/i.exe\"", kChecksum, kVersion), "wrapper is not an http or https URL"},
      {Document(kShortcut, L"\"C:\\\\i.exe\"", kChecksum, kVersion), "wrapper is not an http or https URL"},
      {Document(kShortcut, L"\"https:///i.exe\"", kChecksum, kVersion), "wrapper is not an http or https URL"},
      {Document(kShortcut, L"\"http://\"", kChecksum, kVersion), "wrapper is not an http or https URL"},
      {Document(kShortcut, L"\"https://h/a b.exe\"", kChecksum, kVersion), "wrapper is not an http or https URL"},
      {Document(kShortcut, L"\"https://h/\\r\\n.exe\"", kChecksum, kVersion), "wrapper is not an http or https URL"},
      {Document(kShortcut, L"\"\"", kChecksum, kVersion), "wrapper is not an http or https URL"},
      // A "sha256" that is not 64 hexadecimal digits.
      {DocumentWith(kWrapper, L", \"sha256\": \"" + kAbcHex.substr(1) + L"\""), "sha256 is not 64 hexadecimal digits"},
      {DocumentWith(kWrapper, L", \"sha256\": \"" + kAbcHex + L"0\""), "sha256 is not 64 hexadecimal digits"},
      {DocumentWith(kWrapper, L", \"sha256\": \"" + kAbcHex.substr(1) + L"g\""),
       "sha256 is not 64 hexadecimal digits"},
      {DocumentWith(kWrapper, L", \"sha256\": \" " + kAbcHex.substr(1) + L"\""),
       "sha256 is not 64 hexadecimal digits"},
      {DocumentWith(kWrapper, L", \"sha256\": \"\""), "sha256 is not 64 hexadecimal digits"},
      {DocumentWith(kWrapper, L", \"sha256\": null"), "sha256 is not 64 hexadecimal digits"},
      {DocumentWith(kWrapper, L", \"sha256\": 12345"), "sha256 is not 64 hexadecimal digits"},
      {DocumentWith(kWrapper, L", \"sha256\": [\"" + kAbcHex + L"\"]"), "sha256 is not 64 hexadecimal digits"},
      // Plain http without a strong hash; a bad "sha256" is named before the scheme rule.
      {Document(kShortcut, L"\"http://dl.example.com/inst.exe\"", kChecksum, kVersion), kPlainHttpNeedsSha256},
      {Document(kShortcut, L"\"Http://dl.example.com/inst.exe\"", kChecksum, kVersion), kPlainHttpNeedsSha256},
      {DocumentWith(L"\"http://h/i.exe\"", L", \"SHA256\": \"" + kAbcHex + L"\""), kPlainHttpNeedsSha256},
      {DocumentWith(L"\"http://h/i.exe\"", L", \"sha256\": \"xyz\""), "sha256 is not 64 hexadecimal digits"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadAll(c.text).error, c.error) << ToUtf8(c.text);
  }
}

TEST(ConfigDocumentRead, MirrorsAreHeldToTheWrappersRulesAndNeedASha256) {
  const std::wstring sha = L", \"sha256\": \"" + kAbcHex + L"\"";
  std::wstring nine = L"[";
  for (int i = 0; i < 9; ++i) nine += std::wstring(i ? L", " : L"") + L"\"https://m" + std::to_wstring(i) + L"/i.exe\"";
  nine += L"]";
  struct Case {
    std::wstring extra;
    const char* error;  // "" when usable
    std::vector<std::wstring> mirrors;
  };
  const Case cases[] = {
      {sha + L", \"mirrors\": [\"https://m1/i.exe\", \"HTTP://m2:81/i.exe?x=1\"]", "",
       {L"https://m1/i.exe", L"HTTP://m2:81/i.exe?x=1"}},
      {sha + L", \"mirrors\": []", "", {}},
      {sha, "", {}},
      {L", \"mirrors\": [\"https://m1/i.exe\"]", kMirrorsNeedSha256, {}},
      {L", \"mirrors\": []", kMirrorsNeedSha256, {}},
      {sha + L", \"mirrors\": \"https://m1/i.exe\"", "mirrors is not an array", {}},
      {sha + L", \"mirrors\": " + nine, "mirrors holds more than 8 addresses", {}},
      {sha + L", \"mirrors\": [\"https://m1/i.exe\", 7]", "mirror 2 is not a string", {}},
      {sha + L", \"mirrors\": [\"ftp://m1/i.exe\"]", "mirror 1 is not an http or https URL", {}},
      {sha + L", \"mirrors\": [\"https://m1/a b.exe\"]", "mirror 1 is not an http or https URL", {}},
      // A bad "mirrors" is named before the missing "sha256".
      {L", \"mirrors\": {}", "mirrors is not an array", {}},
  };
  for (const Case& c : cases) {
    const std::wstring text = DocumentWith(kWrapper, c.extra);
    const ReadResult r = ReadAll(text);
    EXPECT_EQ(r.error, c.error) << ToUtf8(text);
    if (r.error.empty()) {
      EXPECT_EQ(r.config.mirrors, c.mirrors) << ToUtf8(text);
    }
  }
}
