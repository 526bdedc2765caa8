// The product's resources as Windows reads them from orvsetup.exe: the progress dialog template,
// the icon group, the version record and the manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "text/utf8.h"

namespace {
using namespace orv;

constexpr WORD kEnglishUs = 1033;

// The stub next to the tests folder this program runs from: <build>\orvsetup.exe.
std::wstring StubPath() {
  std::wstring path(MAX_PATH, L'\0');
  const DWORD written = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
  path.resize(written);
  for (int part = 0; part < 2; ++part) path.erase(path.find_last_of(L'\\'));
  return path + L"\\orvsetup.exe";
}

// The stub loaded for its resources only.
class ResourceModule {
 public:
  explicit ResourceModule(const std::wstring& path)
      : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~ResourceModule() {
    if (module_) FreeLibrary(module_);
  }
  ResourceModule(const ResourceModule&) = delete;
  ResourceModule& operator=(const ResourceModule&) = delete;
  HMODULE get() const { return module_; }

  // The bytes of one resource in US English; found is false when there is none.
  std::string Bytes(LPCWSTR type, WORD id, bool& found) const {
    found = false;
    HRSRC info = FindResourceExW(module_, type, MAKEINTRESOURCEW(id), kEnglishUs);
    if (!info) return {};
    HGLOBAL loaded = LoadResource(module_, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return {};
    found = true;
    return std::string(static_cast<const char*>(data), SizeofResource(module_, info));
  }

 private:
  HMODULE module_;
};

// Reads little-endian fields one after another; reading past the end marks the reader bad.
class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {}
  uint32_t Take(size_t size) {
    if (offset_ + size > bytes_.size()) {
      bad_ = true;
      return 0;
    }
    uint32_t value = 0;
    for (size_t i = 0; i < size; ++i) {
      value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes_[offset_ + i])) << (8 * i);
    }
    offset_ += size;
    return value;
  }
  uint32_t U8() { return Take(1); }
  uint32_t U16() { return Take(2); }
  uint32_t U32() { return Take(4); }
  // A zero-terminated UTF-16 text, as UTF-8.
  std::string Text() {
    std::wstring text;
    while (!bad_) {
      const wchar_t c = static_cast<wchar_t>(U16());
      if (c == 0) break;
      text += c;
    }
    return ToUtf8(text);
  }
  void AlignTo4() { offset_ = (offset_ + 3) & ~static_cast<size_t>(3); }
  size_t offset() const { return offset_; }
  bool bad() const { return bad_; }

 private:
  const std::string& bytes_;
  size_t offset_ = 0;
  bool bad_ = false;
};

uint32_t BigEndian32(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

class ProductResources : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(GetFileAttributesW(stubPath.c_str()), INVALID_FILE_ATTRIBUTES) << "no stub at " << ToUtf8(stubPath);
    ASSERT_TRUE(module.get()) << "cannot load " << ToUtf8(stubPath) << ", error " << GetLastError();
  }
  const std::wstring stubPath = StubPath();
  const ResourceModule module{stubPath};
};

TEST_F(ProductResources, DialogTemplateHasExactlyTheseFields) {
  bool found = false;
  const std::string bytes = module.Bytes(RT_DIALOG, 103, found);
  ASSERT_TRUE(found) << "dialog 103 in language 1033";
  EXPECT_EQ(bytes.size(), 128u);

  Reader in(bytes);
  std::vector<std::pair<std::string, std::string>> fields;  // name, value as read
  auto number = [&fields](const char* name, uint32_t value) { fields.emplace_back(name, std::to_string(value)); };
  number("version", in.U16());
  number("signature", in.U16());
  number("help id", in.U32());
  number("extended style", in.U32());
  number("style", in.U32());
  number("controls", in.U16());
  number("x", in.U16());
  number("y", in.U16());
  number("width", in.U16());
  number("height", in.U16());
  number("menu", in.U16());
  number("class", in.U16());
  fields.emplace_back("title", in.Text());
  number("point size", in.U16());
  number("weight", in.U16());
  number("italic", in.U8());
  number("charset", in.U8());
  fields.emplace_back("face", in.Text());
  in.AlignTo4();
  number("item help id", in.U32());
  number("item extended style", in.U32());
  number("item style", in.U32());
  number("item x", in.U16());
  number("item y", in.U16());
  number("item width", in.U16());
  number("item height", in.U16());
  number("item id", in.U32());
  fields.emplace_back("item class", in.Text());
  number("item text", in.U16());
  number("item creation data", in.U16());
  EXPECT_FALSE(in.bad()) << "the template ends early";
  EXPECT_EQ(in.offset(), bytes.size()) << "bytes left after the one control";

  const std::map<std::string, std::string> expected = {
      {"version", "1"},
      {"signature", "65535"},
      {"help id", "0"},
      {"extended style", std::to_string(WS_EX_APPWINDOW | WS_EX_TOOLWINDOW)},
      {"style", std::to_string(0x80880848u)},
      {"controls", "1"},
      {"x", "0"},
      {"y", "0"},
      {"width", "280"},
      {"height", "36"},
      {"menu", "0"},
      {"class", "0"},
      {"title", ""},
      {"point size", "8"},
      {"weight", "400"},
      {"italic", "0"},
      {"charset", "1"},
      {"face", "MS Shell Dlg"},
      {"item help id", "0"},
      {"item extended style", "0"},
      {"item style", std::to_string(0x50800001u)},
      {"item x", "7"},
      {"item y", "7"},
      {"item width", "266"},
      {"item height", "21"},
      {"item id", "1001"},
      {"item class", "msctls_progress32"},
      {"item text", "0"},
      {"item creation data", "0"},
  };
  ASSERT_EQ(fields.size(), expected.size());
  for (const auto& [name, value] : fields) {
    const auto it = expected.find(name);
    ASSERT_NE(it, expected.end()) << name;
    EXPECT_EQ(value, it->second) << name;
  }
}

TEST_F(ProductResources, IconGroupHoldsFifteenImagesOfTheseSizesAndDepths) {
  bool found = false;
  const std::string group = module.Bytes(RT_GROUP_ICON, 102, found);
  ASSERT_TRUE(found) << "icon group 102 in language 1033";
  Reader in(group);
  EXPECT_EQ(in.U16(), 0u);
  EXPECT_EQ(in.U16(), 1u) << "type: icon";
  const uint32_t count = in.U16();
  ASSERT_EQ(count, 15u);

  std::multiset<std::pair<int, int>> seen;  // (pixels, bits per pixel)
  std::map<std::string, int> pngs;          // PNG payloads and how often each occurs
  for (uint32_t i = 0; i < count; ++i) {
    const int width = static_cast<int>(in.U8());
    const int height = static_cast<int>(in.U8());
    in.U8();  // colour count
    in.U8();  // reserved
    in.U16();  // planes
    const int bits = static_cast<int>(in.U16());
    const uint32_t size = in.U32();
    const WORD id = static_cast<WORD>(in.U16());
    ASSERT_FALSE(in.bad()) << "entry " << i;
    const int pixels = width == 0 ? 256 : width;
    EXPECT_EQ(width, height) << "entry " << i;
    seen.insert({pixels, bits});

    const std::string image = module.Bytes(RT_ICON, id, found);
    ASSERT_TRUE(found) << "icon image " << id;
    EXPECT_EQ(image.size(), size) << "icon image " << id;
    if (pixels == 256) {
      ASSERT_GE(image.size(), 24u);
      EXPECT_EQ(image.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0) << "the 256-pixel image " << id << " is a PNG";
      EXPECT_EQ(BigEndian32(image, 16), 256u) << "PNG width, image " << id;
      EXPECT_EQ(BigEndian32(image, 20), 256u) << "PNG height, image " << id;
      ++pngs[image];
    } else {
      Reader header(image);
      EXPECT_EQ(header.U32(), 40u) << "bitmap header, image " << id;
      EXPECT_EQ(header.U32(), static_cast<uint32_t>(pixels)) << "bitmap width, image " << id;
      EXPECT_EQ(header.U32(), static_cast<uint32_t>(2 * pixels)) << "colour and mask height, image " << id;
      header.U16();
      EXPECT_EQ(header.U16(), static_cast<uint32_t>(bits)) << "bitmap depth, image " << id;
    }
  }
  std::multiset<std::pair<int, int>> expected;
  for (int pixels : {16, 32, 48, 64, 256}) {
    for (int bits : {4, 24, 32}) expected.insert({pixels, bits});
  }
  EXPECT_EQ(seen, expected);
  // Three PNG images, two of them the same bytes.
  ASSERT_EQ(pngs.size(), 2u);
  std::multiset<int> repeats;
  for (const auto& entry : pngs) repeats.insert(entry.second);
  EXPECT_EQ(repeats, (std::multiset<int>{1, 2}));

  // Windows can make icons of it at the usual sizes.
  for (int pixels : {16, 32, 48, 256}) {
    HICON icon = static_cast<HICON>(LoadImageW(module.get(), MAKEINTRESOURCEW(102), IMAGE_ICON, pixels, pixels, 0));
    EXPECT_NE(icon, nullptr) << pixels << " px";
    if (icon) DestroyIcon(icon);
  }
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
  reinterpret_cast<std::vector<std::wstring>*>(names)->push_back(
      IS_INTRESOURCE(name) ? std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : std::wstring(name));
  return TRUE;
}

TEST_F(ProductResources, IconGroup102IsTheOnlyIcon) {
  std::vector<std::wstring> names;
  EnumResourceNamesW(module.get(), RT_GROUP_ICON, CollectName, reinterpret_cast<LONG_PTR>(&names));
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], L"102");
}

TEST_F(ProductResources, VersionRecordNamesTheProduct) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(stubPath.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<unsigned char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(stubPath.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, (4u << 16) | 1u);
  EXPECT_EQ(fixed->dwFileVersionLS, 591u << 16);
  EXPECT_EQ(fixed->dwProductVersionMS, (4u << 16) | 1u);
  EXPECT_EQ(fixed->dwProductVersionLS, 591u << 16);
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                             &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 1200);

  const std::pair<const wchar_t*, const char*> strings[] = {
      {L"FileDescription", "Orvandel Setup File"}, {L"ProductName", "Orvandel Setup"},
      {L"FileVersion", "4.1.674"},                 {L"ProductVersion", "4.1.674"},
      {L"CompanyName", nullptr},                   {L"LegalCopyright", nullptr},
  };
  for (const auto& [name, expected] : strings) {
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    wchar_t* value = nullptr;
    const bool present = VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length);
    ASSERT_TRUE(present && value) << ToUtf8(name);
    if (expected) {
      EXPECT_EQ(ToUtf8(value), expected) << ToUtf8(name);
    } else {
      EXPECT_GT(std::wcslen(value), 0u) << ToUtf8(name);
    }
  }
}

// The attributes of the first element named element in xml.
std::map<std::string, std::string> Attributes(const std::string& xml, const std::string& element) {
  std::map<std::string, std::string> attributes;
  std::smatch tag;
  if (!std::regex_search(xml, tag, std::regex("<" + element + "\\s([^>]*)>"))) return attributes;
  const std::string body = tag[1];
  const std::regex attribute(R"re((\w+)\s*=\s*"([^"]*)")re");
  for (std::sregex_iterator it(body.begin(), body.end(), attribute), end; it != end; ++it) {
    attributes[(*it)[1]] = (*it)[2];
  }
  return attributes;
}

TEST_F(ProductResources, ManifestAsksForAdministratorAndCommonControls6) {
  bool found = false;
  const std::string manifest = module.Bytes(MAKEINTRESOURCEW(24), 1, found);
  ASSERT_TRUE(found) << "manifest 1 in language 1033";
  const std::map<std::string, std::string> level = Attributes(manifest, "requestedExecutionLevel");
  EXPECT_EQ(level, (std::map<std::string, std::string>{{"level", "requireAdministrator"}, {"uiAccess", "false"}}))
      << manifest;

  std::smatch dependency;
  ASSERT_TRUE(std::regex_search(manifest, dependency, std::regex("<dependentAssembly>[\\s\\S]*</dependentAssembly>")))
      << manifest;
  const std::map<std::string, std::string> identity = Attributes(dependency.str(), "assemblyIdentity");
  const std::map<std::string, std::string> expected = {
      {"type", "win32"},
      {"name", "Microsoft.Windows.Common-Controls"},
      {"version", "6.0.0.0"},
      {"processorArchitecture", "*"},
      {"publicKeyToken", "6595b64144ccf1df"},
      {"language", "*"},
  };
  EXPECT_EQ(identity, expected) << manifest;
}

// The text of the first element named element within xml whose xmlns is ns; found is false when
// there is none.
std::string ElementText(const std::string& xml, const std::string& element, const std::string& ns, bool& found) {
  std::smatch match;
  found = std::regex_search(
      xml, match, std::regex("<" + element + "\\s+xmlns\\s*=\\s*\"" + ns + "\"\\s*>([^<]*)</" + element + ">"));
  return found ? match[1].str() : std::string();
}

// The part of xml from the opening tag of element with the namespace ns to its closing tag.
std::string Block(const std::string& xml, const std::string& element, const std::string& ns) {
  std::smatch match;
  const std::regex block("<" + element + "\\s+xmlns\\s*=\\s*\"" + ns + "\"\\s*>[\\s\\S]*?</" + element + ">");
  return std::regex_search(xml, match, block) ? match.str() : std::string();
}

TEST_F(ProductResources, ManifestDeclaresPerMonitorScalingAndTheSupportedWindowsVersions) {
  bool found = false;
  const std::string manifest = module.Bytes(MAKEINTRESOURCEW(24), 1, found);
  ASSERT_TRUE(found) << "manifest 1 in language 1033";

  // The scaling settings belong to the v3 application element's windowsSettings.
  const std::string application = Block(manifest, "application", "urn:schemas-microsoft-com:asm.v3");
  ASSERT_NE(application.find("<windowsSettings>"), std::string::npos) << manifest;
  const std::string windowsSettings = application.substr(application.find("<windowsSettings>"));
  EXPECT_EQ(ElementText(windowsSettings, "dpiAware", "http://schemas.microsoft.com/SMI/2005/WindowsSettings", found),
            "true")
      << manifest;
  EXPECT_TRUE(found) << "dpiAware in the 2005 settings namespace: " << manifest;
  EXPECT_EQ(ElementText(windowsSettings, "dpiAwareness", "http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                        found),
            "PerMonitorV2")
      << manifest;
  EXPECT_TRUE(found) << "dpiAwareness in the 2016 settings namespace: " << manifest;

  // Windows 10 and 11, 8.1, 8 and 7, in the compatibility element.
  const std::string compatibility = Block(manifest, "compatibility", "urn:schemas-microsoft-com:compatibility.v1");
  ASSERT_FALSE(compatibility.empty()) << manifest;
  std::set<std::string> ids;
  const std::regex supported(R"re(<supportedOS\s+Id\s*=\s*"([^"]*)"\s*/>)re");
  for (std::sregex_iterator it(compatibility.begin(), compatibility.end(), supported), end; it != end; ++it) {
    ids.insert((*it)[1]);
  }
  const std::set<std::string> expected = {
      "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
      "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
      "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
      "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
  };
  EXPECT_EQ(ids, expected) << manifest;
}

}  // namespace
