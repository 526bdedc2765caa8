#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <cwctype>
#include <ios>
#include <string>
#include <thread>
#include <vector>

#include "base/unique_handle.h"
#include "main/windows_ports.h"
#include "text/utf8.h"
#include "util/crc32.h"
#include "util/file_paths.h"
#include "util/file_sums.h"

namespace {
using namespace orv;
}  // namespace

using Microsoft::WRL::ComPtr;

namespace {

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, buffer);
  return buffer;
}

bool IsPlainFile(const std::wstring& path, ULONGLONG* size = nullptr) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (size) *size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  UniqueHandle file{
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
  ASSERT_TRUE(file) << ToUtf8(path);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

}  // namespace

TEST(DownloadPath, TwoCallsGiveDistinctUnusedNamesWithPlaceholders) {
  const std::wstring folder = TempFolder();
  const Result<std::wstring> first = MakeDownloadPathIn(folder);
  const Result<std::wstring> second = MakeDownloadPathIn(folder);
  ASSERT_TRUE(first.ok() && second.ok()) << first.status().code() << " " << second.status().code();
  const std::wstring names[] = {*first, *second};
  EXPECT_NE(names[0], names[1]);
  for (const std::wstring& name : names) {
    const std::string shown = ToUtf8(name);
    // <folder>orvX.tmp.exe to <folder>orvXXXX.tmp.exe: the platform's unique number in hexadecimal
    ASSERT_GE(name.size(), folder.size() + 12) << shown;
    ASSERT_LE(name.size(), folder.size() + 15) << shown;
    EXPECT_EQ(name.compare(0, folder.size(), folder), 0) << shown;
    const std::wstring file = name.substr(folder.size());
    EXPECT_EQ(file.compare(0, 3, L"orv"), 0) << shown;
    for (size_t i = 3; i < file.size() - 8; ++i) EXPECT_TRUE(std::iswxdigit(file[i])) << shown;
    EXPECT_EQ(file.substr(file.size() - 8), L".tmp.exe") << shown;

    EXPECT_EQ(GetFileAttributesW(name.c_str()), INVALID_FILE_ATTRIBUTES) << shown << " exists already";
    const std::wstring placeholder = name.substr(0, name.size() - 4);
    ULONGLONG size = 1;
    EXPECT_TRUE(IsPlainFile(placeholder, &size)) << ToUtf8(placeholder) << " missing";
    EXPECT_EQ(size, 0u) << ToUtf8(placeholder);
    DeleteFileW(placeholder.c_str());
  }
  EXPECT_EQ(MakeDownloadPathIn(folder + std::wstring(MAX_PATH, L'a') + L"\\").status().code(),
            static_cast<uint32_t>(ERROR_FILENAME_EXCED_RANGE));
}

TEST(ResumeShortcutPath, IsTheLinkNameInTheUserDesktopFolder) {
  wchar_t desktop[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop), S_OK);
  wchar_t common[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, common);
  ASSERT_STRNE(desktop, common);

  EXPECT_EQ(WindowsShortcuts().DesktopShortcutPath(), std::wstring(desktop) + L"\\Continue installation.lnk");
}

namespace {

class ComThread {
 public:
  ComThread() : result_(CoInitialize(nullptr)) {}
  ~ComThread() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

// What a shell link file says, read back through the shell's own link object.
struct LinkContents {
  std::wstring path, description, arguments, workingDirectory, iconPath;
  int iconIndex = -1;
  WORD hotkey = 0xFFFF;
  int showCommand = -1;
};

bool ReadLink(const std::wstring& file, LinkContents& out) {
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.GetAddressOf())))) {
    return false;
  }
  ComPtr<IPersistFile> persist;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(persist.GetAddressOf()))) ||
      FAILED(persist->Load(file.c_str(), STGM_READ))) {
    return false;
  }
  wchar_t text[1024];
  text[0] = L'\0';
  link->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
  out.path = text;
  text[0] = L'\0';
  link->GetDescription(text, 1024);
  out.description = text;
  text[0] = L'\0';
  link->GetArguments(text, 1024);
  out.arguments = text;
  text[0] = L'\0';
  link->GetWorkingDirectory(text, 1024);
  out.workingDirectory = text;
  text[0] = L'\0';
  link->GetIconLocation(text, 1024, &out.iconIndex);
  out.iconPath = text;
  link->GetHotkey(&out.hotkey);
  link->GetShowCmd(&out.showCommand);
  return true;
}

class ResumeShortcut : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(com_.result()));
    for (const wchar_t* name : {L"orv_test_setup_a.exe", L"orv_test_setup_b.exe"}) {
      targets_.push_back(TempFolder() + name);
      WriteFileBytes(targets_.back(), "MZ");
    }
  }
  void TearDown() override {
    for (const std::wstring& target : targets_) DeleteFileW(target.c_str());
    DeleteFileW(link_.c_str());
  }

  ComThread com_;
  std::vector<std::wstring> targets_;
  const std::wstring link_ = TempFolder() + L"orv_test Continue installation.lnk";
};

}  // namespace

TEST_F(ResumeShortcut, CarriesOnlyTheTargetAndTheDescription) {
  ASSERT_TRUE(WindowsShortcuts().WriteShortcut(targets_[0], link_).ok());
  LinkContents link;
  ASSERT_TRUE(ReadLink(link_, link));
  EXPECT_EQ(ToUtf8(link.path), ToUtf8(targets_[0]));
  EXPECT_EQ(ToUtf8(link.description), "Continue installation of Orvandel");
  EXPECT_EQ(ToUtf8(link.arguments), "");
  EXPECT_EQ(ToUtf8(link.workingDirectory), "");
  EXPECT_EQ(ToUtf8(link.iconPath), "");
  EXPECT_EQ(link.iconIndex, 0);
  EXPECT_EQ(link.hotkey, 0);
  EXPECT_EQ(link.showCommand, SW_SHOWNORMAL);
}

TEST_F(ResumeShortcut, ASecondWriteReplacesTheFirstAndAnyOtherFile) {
  WriteFileBytes(link_, std::string(5000, 'x'));  // not a link at all, larger than one
  ASSERT_TRUE(WindowsShortcuts().WriteShortcut(targets_[0], link_).ok());
  ASSERT_TRUE(WindowsShortcuts().WriteShortcut(targets_[1], link_).ok());
  LinkContents link;
  ASSERT_TRUE(ReadLink(link_, link));
  EXPECT_EQ(ToUtf8(link.path), ToUtf8(targets_[1]));
  ULONGLONG size = 0;
  EXPECT_TRUE(IsPlainFile(link_, &size));
  EXPECT_LT(size, 5000u);
}

TEST_F(ResumeShortcut, FailuresComeBackAsNegativeResults) {
  const std::wstring unreachable = TempFolder() + L"orv_no_such_folder\\Continue installation.lnk";
  const Status unreached = WindowsShortcuts().WriteShortcut(targets_[0], unreachable);
  EXPECT_FALSE(unreached.ok());
  EXPECT_EQ(unreached.code(), static_cast<uint32_t>(ERROR_PATH_NOT_FOUND)) << unreached.code();
  EXPECT_FALSE(PathExists(unreachable.c_str()));

  // It leaves COM to its caller: on a thread without COM the link object cannot be created.
  Status withoutCom;
  std::thread([&] { withoutCom = WindowsShortcuts().WriteShortcut(targets_[0], link_); }).join();
  EXPECT_EQ(withoutCom.code(), static_cast<uint32_t>(CO_E_NOTINITIALIZED)) << withoutCom.code();
  EXPECT_EQ(GetFileAttributesW(link_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(PathExists, DirectoriesAndUnreadableObjectsExistMissingAndMalformedNamesDoNot) {
  const std::wstring folder = TempFolder();
  const std::wstring file = folder + L"orv_test_exists.txt";
  WriteFileBytes(file, "x");
  // An existing named pipe: GetFileAttributesW fails on it with an error that does not mean missing.
  const std::wstring pipeName = L"\\\\.\\pipe\\orv_test_exists";
  UniqueHandle pipe{CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_INBOUND, 0, 1, 0, 0, 0, nullptr)};
  ASSERT_TRUE(pipe);

  struct Case {
    std::wstring path;
    bool exists;
    bool attributesFail;  // the answer comes from the error code
  };
  const Case cases[] = {
      {folder, true, false},
      {folder + L"..", true, false},
      {file, true, false},
      {folder + L"orv_test_missing.txt", false, true},
      {folder + L"orv_test_missing_folder\\file.txt", false, true},
      {L"C:\\orv<test>|name", false, true},
      {pipeName, true, true},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    const DWORD attributes = GetFileAttributesW(c.path.c_str());
    const DWORD error = GetLastError();
    EXPECT_EQ(attributes == INVALID_FILE_ATTRIBUTES, c.attributesFail) << ToUtf8(c.path) << ": error " << error;
    EXPECT_EQ(PathExists(c.path.c_str()), c.exists)
        << ToUtf8(c.path) << ": attributes " << attributes << ", error " << error;
  }
  DeleteFileW(file.c_str());
}

TEST(FileCrc32, ReadsAFileHeldOpenForWritingUnlessItIsLocked) {
  const std::wstring path = TempFolder() + L"orv_test_crc_\u00e4\u03a9.bin";
  const std::string bytes(100000, '\x5a');
  const uint32_t expected = Crc32(bytes.data(), bytes.size());
  struct Case {
    DWORD writerShare;
    bool readable;
  };
  const Case cases[] = {
      {FILE_SHARE_READ, true},
      {FILE_SHARE_READ | FILE_SHARE_WRITE, true},
      {FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true},
      {0, false},
      {FILE_SHARE_WRITE, false},
  };
  for (const Case& c : cases) {
    UniqueHandle writer{CreateFileW(path.c_str(), GENERIC_WRITE, c.writerShare, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr)};
    ASSERT_TRUE(writer) << "share " << c.writerShare;
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(writer.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    if (c.readable) {
      EXPECT_EQ(FileCrc32(path), expected) << "writer's share mode " << c.writerShare;
    } else {
      try {
        FileCrc32(path);
        ADD_FAILURE() << "read a file locked by share mode " << c.writerShare;
      } catch (const std::ios_base::failure& failure) {
        EXPECT_EQ(std::string(failure.what()).rfind("Failed to open the file", 0), 0u) << failure.what();
      }
    }
  }
  DeleteFileW(path.c_str());
}
