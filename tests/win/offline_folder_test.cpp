// The administrator's offline folder as the run uses it: the layout's files made new (a link or
// a file planted under one of their names is refused and left as it was), the documents read
// whole, the installer copied out of it within its limit.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "link_fixtures.h"
#include "held_files/held_file.h"
#include "main/windows_ports.h"
#include "text/utf8.h"

namespace {
using namespace orv;

const std::string kPrecious = "precious bytes that must stay as they are";
const std::string kLayoutBytes = "{\"version\": \"4.2\"}";

enum class AtName { Nothing, HardLink, File, Folder };

// What a write of the layout does; each is made new at path.
enum class Write { Document, CopyOfHeldFile };

TEST(OfflineFolder, LayoutFilesAreMadeNewAndWhatIsPlantedAtTheirNamesStaysAsItWas) {
  struct Case {
    const char* name;
    AtName atName;
    bool written;
  };
  const Case cases[] = {
      {"a free name is made and filled", AtName::Nothing, true},
      {"a hard link to a protected file is refused", AtName::HardLink, false},
      {"a file already there is refused", AtName::File, false},
      {"a folder at the name is refused", AtName::Folder, false},
  };
  WindowsFiles files(nullptr);
  for (const Write write : {Write::Document, Write::CopyOfHeldFile}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (write == Write::Document ? ", document" : ", copy of a held file"));
      links::ScratchFolder scratch(L"layout");
      ASSERT_TRUE(scratch.ok());
      const std::wstring victim = scratch / L"victim.dll";
      const std::wstring source = scratch / L"installer-source.exe";
      ASSERT_TRUE(links::WriteWhole(victim, kPrecious));
      ASSERT_TRUE(links::WriteWhole(source, kLayoutBytes));
      Result<std::unique_ptr<OfflineFolder>> folder = files.OpenOfflineFolder(scratch / L"lay", true);
      ASSERT_TRUE(folder.ok()) << folder.status().LogText();
      const std::wstring target = (*folder)->PathOf(L"installer.exe");
      switch (c.atName) {
        case AtName::Nothing: break;
        case AtName::HardLink: ASSERT_TRUE(CreateHardLinkW(target.c_str(), victim.c_str(), nullptr)); break;
        case AtName::File: ASSERT_TRUE(links::WriteWhole(target, kPrecious)); break;
        case AtName::Folder: ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr)); break;
      }
      Status status;
      if (write == Write::Document) {
        status = (*folder)->WriteNew(L"installer.exe", kLayoutBytes);
      } else {
        const UniqueHandle held{
            CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)};
        ASSERT_TRUE(held);
        status = CopyToNewHeldFile(held.get(), target);
      }
      EXPECT_EQ(status.ok(), c.written) << status.LogText();
      EXPECT_EQ(links::ReadWhole(victim), kPrecious);
      if (c.written) {
        EXPECT_EQ(links::ReadWhole(target), kLayoutBytes);
      }
      if (c.atName == AtName::File || c.atName == AtName::HardLink) {
        EXPECT_EQ(status.code(), static_cast<uint32_t>(ERROR_FILE_EXISTS)) << status.LogText();
        EXPECT_EQ(links::ReadWhole(target), kPrecious);
      }
    }
  }
}

TEST(OfflineFolder, DocumentsAreReadWholeAndCopiesCutOneBytePastTheirLimit) {
  links::ScratchFolder scratch(L"source");
  ASSERT_TRUE(scratch.ok());
  ASSERT_TRUE(links::WriteWhole(scratch / L"orv.json", "0123456789"));
  ASSERT_TRUE(CreateDirectoryW((scratch / L"orv.json.sig").c_str(), nullptr));
  WindowsFiles files(nullptr);
  Result<std::unique_ptr<OfflineFolder>> folder = files.OpenOfflineFolder(scratch.path(), false);
  ASSERT_TRUE(folder.ok()) << folder.status().LogText();
  struct Case {
    const wchar_t* name;
    size_t limit;
    std::string read;      // what ReadDocument gives; "" with a failure
    uint32_t readCode;     // 0: read
    std::string copied;    // what CopyInto gives the writer
  };
  const Case cases[] = {
      {L"orv.json", 10, "0123456789", 0, "0123456789"},
      {L"orv.json", 4, "", ERROR_FILE_TOO_LARGE, "01234"},
      {L"installer.exe", 10, "", ERROR_FILE_NOT_FOUND, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.name) + " within " + std::to_string(c.limit));
    const Result<std::string> read = (*folder)->ReadDocument(c.name, c.limit);
    EXPECT_EQ(read.ok() ? 0u : read.status().code(), c.readCode) << read.status().LogText();
    if (read.ok()) {
      EXPECT_EQ(*read, c.read);
    }
    StringWriter writer;
    const Status copied = (*folder)->CopyInto(c.name, writer, c.limit);
    EXPECT_EQ(copied.ok(), c.readCode != ERROR_FILE_NOT_FOUND) << copied.LogText();
    EXPECT_EQ(writer.bytes, c.copied);
  }
  // A folder under a file's name is not read.
  EXPECT_FALSE((*folder)->ReadDocument(L"orv.json.sig", 4096).ok());
}

}  // namespace
