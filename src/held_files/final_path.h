#pragma once
// Judging what a handle was opened as, from facts the platform reports for it: its final path
// (every link resolved), its attributes and its owner. A name can be swapped for a link between
// the check of a path and its use; these facts describe the object actually held.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// How two names are compared: the platform's ordinal comparison ignoring case, as file systems
// compare names (Windows: CompareStringOrdinal with bIgnoreCase).
using SameNameFunction = bool (*)(std::wstring_view first, std::wstring_view second);

// False for "", ".", "..", and for text holding a backslash, a slash, a colon or a null (a path,
// a stream name); true for a single name in a folder.
bool IsSingleName(std::wstring_view leaf);

// Empty when parent is empty or leaf is not a single name; otherwise parent, one backslash, leaf.
std::wstring EntryPath(std::wstring_view parent, std::wstring_view leaf);

// False unless opened (the final path of a handle opened at parent\leaf) is parent's final path
// followed by leaf, as sameName compares them: false when leaf was a link, or parent was
// swapped, between the open and the check.
bool NamesEntryOf(std::wstring_view parentFinal, std::wstring_view leaf, std::wstring_view opened,
                  SameNameFunction sameName);

// The path without the platform's long-path prefix, as programs expect it in a command line:
// "C:\x" for "\\?\C:\x", "\\server\share\x" for "\\?\UNC\server\share\x"; anything else as it is.
std::wstring WithoutLongPathPrefix(std::wstring_view path);

// True when mapped (the file name of a mapped image as the platform reports it) names the file
// whose final paths are finalNt ("\Device\HarddiskVolume1\...") and finalDos ("\\?\C:\..."):
// Windows reports the NT form, Wine a "\??\C:\..." form, compared with the DOS one.
bool MappedNameIsFile(std::wstring_view mapped, std::wstring_view finalNt, std::wstring_view finalDos,
                      SameNameFunction sameName);

// File attribute bits the verdicts read (the platform's values).
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeReparsePoint = 0x400;

// What a handle to a folder the stub made turned out to be.
enum class FolderVerdict {
  Plain,         // a plain folder at the expected path, owned by an accepted owner
  Link,          // a junction, symbolic link or other reparse point
  NotAFolder,    // a file
  Elsewhere,     // its final path is not the expected one (a link on the way, or a swap)
  ForeignOwner,  // its owner is none of the accepted ones (someone else made it first)
};

// What the platform reports for a held folder.
struct HeldFolderFacts {
  uint32_t attributes = 0;
  std::wstring finalPath;
  std::wstring ownerSid;  // e.g. "S-1-5-32-544"
};

// The first of Link, NotAFolder, Elsewhere, ForeignOwner that applies to facts, else Plain.
// expectedFinal: the final path the folder must have; acceptedOwners: owner SIDs in text form.
FolderVerdict JudgeHeldFolder(const HeldFolderFacts& facts, std::wstring_view expectedFinal,
                              const std::vector<std::wstring>& acceptedOwners, SameNameFunction sameName);

// A few words for the log: "a link", "not a folder", "elsewhere than expected", "owned by
// someone else"; "" for Plain.
const char* FolderVerdictText(FolderVerdict verdict);

}  // namespace orv
