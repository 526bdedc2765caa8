// The launch's platform-free decisions: the installer's environment with TMP and TEMP replaced,
// and what a held handle's final path, mapped image name, attributes and owner must be.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "held_files/final_path.h"
#include "launch/environment_block.h"
#include "text/utf8.h"

namespace {

using namespace orv;

using orv::FolderVerdict;
using Entries = std::vector<std::wstring>;

std::string Show(const Entries& entries) {
  std::string text;
  for (const std::wstring& entry : entries) text += "[" + ToUtf8(entry) + "]";
  return text;
}

// As file systems compare names, for the ASCII names of these tables.
bool SameAscii(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto up = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; };
    if (up(a[i]) != up(b[i])) return false;
  }
  return true;
}

TEST(EnvironmentBlock, SplitStopsAtTheEmptyEntryOrTheEnd) {
  struct Case {
    std::wstring block;
    Entries entries;
  };
  const Case cases[] = {
      {std::wstring(L"A=1\0B=2\0\0", 9), {L"A=1", L"B=2"}},
      {std::wstring(L"=C:=C:\\x\0A=1\0\0", 14), {L"=C:=C:\\x", L"A=1"}},
      {std::wstring(L"A=1\0\0B=2\0\0", 11), {L"A=1"}},  // nothing after the end counts
      {L"A=1", {L"A=1"}},                                // no final null: read to the end
      {std::wstring(L"\0\0", 2), {}},
      {L"", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(orv::SplitEnvironmentBlock(c.block), c.entries) << Show(c.entries);
    if (!c.entries.empty()) {
      EXPECT_EQ(orv::SplitEnvironmentBlock(orv::JoinEnvironmentBlock(c.entries)), c.entries) << Show(c.entries);
    }
  }
  EXPECT_EQ(orv::JoinEnvironmentBlock({}), std::wstring(L"\0\0", 2));
  EXPECT_EQ(orv::JoinEnvironmentBlock({L"A=1"}), std::wstring(L"A=1\0\0", 5));
}

TEST(EnvironmentBlock, TheVariableIsReplacedOnceAndKeepsTheBlockInNameOrder) {
  struct Case {
    const char* name;
    Entries before;
    Entries after;  // with TEMP=T
  };
  const Case cases[] = {
      {"replaced where it stood", {L"A=1", L"TEMP=x", L"Z=2"}, {L"A=1", L"TEMP=T", L"Z=2"}},
      {"any case of its name", {L"A=1", L"Temp=C:\\Users\\me\\link"}, {L"A=1", L"TEMP=T"}},
      {"every copy goes", {L"TEMP=a", L"B=1", L"temp=b"}, {L"TEMP=T", L"B=1"}},
      {"added in name order", {L"A=1", L"TMP=y", L"Z=2"}, {L"A=1", L"TEMP=T", L"TMP=y", L"Z=2"}},
      {"a longer name sorts after it", {L"TEMPDIR=d"}, {L"TEMP=T", L"TEMPDIR=d"}},
      {"added at the end", {L"=C:=C:\\", L"A=1"}, {L"=C:=C:\\", L"A=1", L"TEMP=T"}},
      {"added to nothing", {}, {L"TEMP=T"}},
      {"an unordered block keeps its place", {L"Z=1", L"TEMP=x"}, {L"Z=1", L"TEMP=T"}},
      {"a name without a value", {L"TEMP", L"X=1"}, {L"TEMP=T", L"X=1"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(orv::WithEnvironmentVariable(c.before, L"TEMP", L"T"), c.after) << c.name << ": " << Show(c.before);
  }
}

TEST(EnvironmentBlock, TheInstallersTemporaryFolderReplacesTheUsersChoice) {
  const Entries user{L"=C:=C:\\Users\\me\\Downloads", L"PATH=C:\\Windows", L"TEMP=C:\\Users\\me\\AppData\\Local\\Temp",
                     L"tmp=\\\\?\\C:\\junction", L"USERNAME=me"};
  const std::wstring temp = L"C:\\Program Files (x86)\\Orvandel Setup\\orv0123abcd\\tmp";
  Entries block = orv::WithEnvironmentVariable(orv::WithEnvironmentVariable(user, L"TEMP", temp), L"TMP", temp);
  EXPECT_EQ(block, (Entries{L"=C:=C:\\Users\\me\\Downloads", L"PATH=C:\\Windows", L"TEMP=" + temp, L"TMP=" + temp,
                            L"USERNAME=me"}))
      << Show(block);
}

TEST(FinalPath, OnlyASingleNameIsAnEntryOfItsFolder) {
  for (const wchar_t* leaf : {L"ORVD.log", L"Continue installation.lnk", L"a..b", L"..."}) {
    EXPECT_TRUE(orv::IsSingleName(leaf)) << ToUtf8(leaf);
  }
  for (const wchar_t* leaf : {L"", L".", L"..", L"a\\b", L"a/b", L"x:stream", L"C:"}) {
    EXPECT_FALSE(orv::IsSingleName(leaf)) << ToUtf8(leaf);
    EXPECT_EQ(orv::EntryPath(L"C:\\Users", leaf), L"") << ToUtf8(leaf);
  }
  EXPECT_FALSE(orv::IsSingleName(std::wstring(L"a\0b", 3)));
  EXPECT_EQ(orv::EntryPath(L"C:\\", L"x"), L"C:\\x");
  EXPECT_EQ(orv::EntryPath(L"\\\\?\\C:\\Users\\me", L"x"), L"\\\\?\\C:\\Users\\me\\x");
  EXPECT_EQ(orv::EntryPath(L"", L"x"), L"");
}

TEST(FinalPath, TheOpenedHandleMustBeTheEntryItselfNotWhereALinkLeads) {
  const std::wstring desktop = L"\\\\?\\C:\\Users\\me\\Desktop";
  struct Case {
    const wchar_t* leaf;
    const wchar_t* opened;
    bool entry;
  };
  const Case cases[] = {
      {L"Continue installation.lnk", L"\\\\?\\C:\\Users\\me\\Desktop\\Continue installation.lnk", true},
      {L"Continue installation.lnk", L"\\\\?\\c:\\users\\ME\\desktop\\CONTINUE INSTALLATION.LNK", true},
      // a symbolic link at the name, followed to its target
      {L"Continue installation.lnk", L"\\\\?\\C:\\Windows\\System32\\drivers\\etc\\hosts", false},
      // the folder swapped for a junction between the open of the parent and of the entry
      {L"Continue installation.lnk", L"\\\\?\\C:\\Users\\me\\Elsewhere\\Continue installation.lnk", false},
      {L"Continue installation.lnk", L"\\\\?\\C:\\Users\\me\\Desktop\\Continue installation.lnk\\x", false},
      {L"Continue installation.lnk", L"\\\\?\\C:\\Users\\me\\Desktop", false},
      {L"Continue installation.lnk", L"", false},
      {L"..\\Desktop\\Continue installation.lnk", L"\\\\?\\C:\\Users\\me\\Desktop\\Continue installation.lnk", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(orv::NamesEntryOf(desktop, c.leaf, c.opened, SameAscii), c.entry) << ToUtf8(c.opened);
  }
}

TEST(FinalPath, TheLongPathPrefixGoesOnlyWhereThePathStaysTheSame) {
  struct Case {
    const wchar_t* path;
    const wchar_t* shown;
  };
  const Case cases[] = {
      {L"\\\\?\\C:\\Program Files\\x.exe", L"C:\\Program Files\\x.exe"},
      {L"\\\\?\\UNC\\server\\share\\x.exe", L"\\\\server\\share\\x.exe"},
      {L"\\\\?\\Volume{0a1b}\\x.exe", L"\\\\?\\Volume{0a1b}\\x.exe"},  // no drive letter: kept
      {L"\\\\?\\C:", L"\\\\?\\C:"},
      {L"C:\\x.exe", L"C:\\x.exe"},
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(orv::WithoutLongPathPrefix(c.path), c.shown) << ToUtf8(c.path);
}

TEST(FinalPath, TheMappedImageNameMustNameTheHeldFile) {
  const std::wstring nt = L"\\Device\\HarddiskVolume3\\Users\\me\\Downloads\\orvsetup.exe";
  const std::wstring dos = L"\\\\?\\C:\\Users\\me\\Downloads\\orvsetup.exe";
  struct Case {
    const wchar_t* mapped;
    bool same;
  };
  const Case cases[] = {
      {L"\\Device\\HarddiskVolume3\\Users\\me\\Downloads\\orvsetup.exe", true},   // Windows
      {L"\\Device\\HarddiskVolume3\\Users\\me\\Downloads\\ORVSETUP.EXE", true},
      {L"\\??\\C:\\Users\\me\\Downloads\\orvsetup.exe", true},                     // Wine
      // the image renamed away: its current name is not the held file's
      {L"\\Device\\HarddiskVolume3\\Users\\me\\Downloads\\orvsetup-old.exe", false},
      {L"\\??\\C:\\Users\\me\\Downloads\\orvsetup-old.exe", false},
      {L"\\Device\\HarddiskVolume4\\Users\\me\\Downloads\\orvsetup.exe", false},
      {L"C:\\Users\\me\\Downloads\\orvsetup.exe", false},
      {L"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(orv::MappedNameIsFile(c.mapped, nt, dos, SameAscii), c.same) << ToUtf8(c.mapped);
  EXPECT_TRUE(orv::MappedNameIsFile(L"\\??\\UNC\\s\\share\\orvsetup.exe", L"", L"\\\\?\\UNC\\s\\share\\orvsetup.exe",
                                    SameAscii));
  // Without the NT form nothing in that form can match.
  EXPECT_FALSE(orv::MappedNameIsFile(nt, L"", dos, SameAscii));
}

TEST(FinalPath, OnlyAPlainFolderOfOursAtItsPlaceIsAccepted) {
  const std::wstring expected = L"\\\\?\\C:\\Program Files (x86)\\Orvandel Setup\\orv0123abcd";
  const std::vector<std::wstring> owners{L"S-1-5-32-544", L"S-1-5-21-1-2-3-1001"};
  const uint32_t dir = orv::kAttributeDirectory;
  struct Case {
    const char* name;
    orv::HeldFolderFacts facts;
    FolderVerdict verdict;
  };
  const Case cases[] = {
      {"made by the elevated stub", {dir, expected, L"S-1-5-32-544"}, FolderVerdict::Plain},
      {"owned by this process's user", {dir | 0x20, expected, L"S-1-5-21-1-2-3-1001"}, FolderVerdict::Plain},
      {"case of the path", {dir, L"\\\\?\\c:\\PROGRAM FILES (X86)\\orvandel setup\\ORV0123ABCD", L"S-1-5-32-544"},
       FolderVerdict::Plain},
      {"made first by another user", {dir, expected, L"S-1-5-21-1-2-3-1002"}, FolderVerdict::ForeignOwner},
      {"owner unreadable", {dir, expected, L""}, FolderVerdict::ForeignOwner},
      {"a junction", {dir | orv::kAttributeReparsePoint, expected, L"S-1-5-32-544"}, FolderVerdict::Link},
      {"a file", {0x20, expected, L"S-1-5-32-544"}, FolderVerdict::NotAFolder},
      {"resolved elsewhere", {dir, L"\\\\?\\C:\\Users\\me\\AppData\\Local\\Temp\\x", L"S-1-5-32-544"},
       FolderVerdict::Elsewhere},
      {"no final path", {dir, L"", L"S-1-5-32-544"}, FolderVerdict::Elsewhere},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(orv::JudgeHeldFolder(c.facts, expected, owners, SameAscii), c.verdict) << c.name;
  }
  EXPECT_EQ(orv::JudgeHeldFolder({dir, expected, L""}, expected, {L""}, SameAscii), FolderVerdict::ForeignOwner);
  EXPECT_EQ(orv::JudgeHeldFolder({dir, expected, L"S-1-5-32-544"}, L"", owners, SameAscii), FolderVerdict::Elsewhere);
}

}  // namespace
