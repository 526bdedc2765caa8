#include "held_files/held_run_folder.h"

#include <aclapi.h>
#include <rpc.h>
#include <sddl.h>

#include <utility>
#include <vector>

#include "base/last_error.h"
#include "held_files/admin_folder.h"
#include "held_files/final_path.h"
#include "held_files/handle_facts.h"
#include "text/log_escape.h"

namespace orv {
namespace {

constexpr wchar_t kRunFolderPrefix[] = L"orv";
constexpr wchar_t kTempName[] = L"tmp";
constexpr int kNameAttempts = 8;
constexpr int kDeepestFolder = 32;
constexpr long kMostEntries = 100000;
// Bytes of directory entries read per call.
constexpr DWORD kListBytes = 64 * 1024;

// A held folder: listed, written to and its list set again through this handle; no delete
// sharing, so nobody can rename or remove it meanwhile. No delete access either: a process whose
// current folder it is opens it without delete sharing.
constexpr DWORD kHoldAccess = FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_READ_ATTRIBUTES |
                              READ_CONTROL | WRITE_DAC;

Status Failed(DWORD code, const std::string& what, std::wstring_view path) {
  return Status::Failure(code, what + " " + QuotedPath(path));
}

// Eight hexadecimal digits that no other run is likely to pick.
std::wstring RandomName() {
  UUID uuid{};
  UuidCreate(&uuid);
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring name = kRunFolderPrefix;
  for (int i = 0; i < 8; ++i) name += kDigits[(uuid.Data1 >> (28 - 4 * i)) & 15];
  return name;
}

UniqueHandle OpenHeld(const std::wstring& path, DWORD access) {
  return UniqueHandle{CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
}

// Success when the held folder is plain, at expectedFinal and owned by an accepted owner.
Status Judge(HANDLE held, const std::wstring& expectedFinal, std::wstring_view shownPath) {
  Result<HeldFolderFacts> facts = FolderFactsOf(held);
  if (!facts.ok()) return facts.status();
  const FolderVerdict verdict = JudgeHeldFolder(*facts, expectedFinal, OwnOwnerSids(), SameFileName);
  if (verdict == FolderVerdict::Plain) return {};
  const DWORD code = verdict == FolderVerdict::ForeignOwner ? ERROR_INVALID_OWNER : ERROR_CANT_ACCESS_FILE;
  return Failed(code, std::string("Refused the folder, ") + FolderVerdictText(verdict) + ":", shownPath);
}

// The administrators-only list set again through the handle: a list given at creation can be
// lost (some platforms keep the inherited one), and this way it lands on the very folder held.
Status SetAdminsOnlyList(HANDLE held, PSECURITY_DESCRIPTOR descriptor, std::wstring_view shownPath) {
  PACL dacl = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
    return LastErrorStatus([&] { return "Cannot read the access list for " + QuotedPath(shownPath); });
  }
  const DWORD set = SetSecurityInfo(held, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, dacl, nullptr);
  if (set != ERROR_SUCCESS) return Failed(set, "Cannot set the access list of", shownPath);
  return {};
}

// A new folder name in parentFinal (never one that exists), held and checked; its final path
// in finalPath.
Result<UniqueHandle> MakeFolder(const std::wstring& parentFinal, const std::wstring& name,
                                PSECURITY_DESCRIPTOR descriptor, std::wstring& finalPath) {
  const std::wstring path = EntryPath(parentFinal, name);
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
  if (!CreateDirectoryW(path.c_str(), &attributes)) {
    return LastErrorStatus([&] { return "Cannot create the folder " + QuotedPath(WithoutLongPathPrefix(path)); });
  }
  UniqueHandle held = OpenHeld(path, kHoldAccess);
  if (!held) return LastErrorStatus([&] { return "Cannot open the folder " + QuotedPath(WithoutLongPathPrefix(path)); });
  Status judged = Judge(held.get(), path, WithoutLongPathPrefix(path));
  if (judged.ok()) judged = SetAdminsOnlyList(held.get(), descriptor, WithoutLongPathPrefix(path));
  if (!judged.ok()) return judged;
  finalPath = path;
  return Result<UniqueHandle>(std::move(held));
}

// Deletes what handle has open: marked for deletion, gone once the last handle closes.
bool DeleteThrough(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// An entry of a folder as its listing gives it.
struct ListedEntry {
  std::wstring name;
  DWORD attributes = 0;
};

// Opens what path names itself (a link is opened as the link), for deletion and, for a folder,
// for listing; others may keep it open meanwhile.
UniqueHandle OpenForRemoval(const std::wstring& path, bool folder) {
  return UniqueHandle{CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE | (folder ? FILE_LIST_DIRECTORY : 0),
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
}

// Removes everything in a folder, never following a link: the folder is listed through its own
// handle, and each entry is opened itself and removed through its handle only when its final path
// is the folder's followed by its name (a link the platform followed resolves elsewhere: left).
class TreeRemoval {
 public:
  Status Contents(HANDLE folder, const std::wstring& folderFinal, int depth) {
    if (depth > kDeepestFolder) return Failed(ERROR_CANT_ACCESS_FILE, "Too deep to remove:", WithoutLongPathPrefix(folderFinal));
    std::vector<ListedEntry> entries;
    Status listed = List(folder, folderFinal, entries);
    if (!listed.ok()) return listed;
    Status first;
    for (const ListedEntry& entry : entries) {
      Status removed = Entry(folderFinal, entry, depth);
      if (first.ok() && !removed.ok()) first = std::move(removed);
    }
    return first;
  }

  // Removes the folder that held names (its final path folderFinal), emptied, through a handle
  // checked to be it.
  static Status Folder(const std::wstring& folderFinal) {
    const UniqueHandle folder = OpenForRemoval(folderFinal, true);
    if (!folder) return LastErrorStatus([&] { return "Cannot open " + QuotedPath(WithoutLongPathPrefix(folderFinal)); });
    Result<std::wstring> final = FinalPathOf(folder.get());
    if (!final.ok()) return final.status();
    if (!SameFileName(*final, folderFinal)) {
      return Failed(ERROR_CANT_ACCESS_FILE, "Left a link in place:", WithoutLongPathPrefix(folderFinal));
    }
    if (!DeleteThrough(folder.get())) {
      return LastErrorStatus([&] { return "Cannot remove the folder " + QuotedPath(WithoutLongPathPrefix(folderFinal)); });
    }
    return {};
  }

 private:
  Status List(HANDLE folder, const std::wstring& folderFinal, std::vector<ListedEntry>& entries) {
    // On the heap: the removal recurses, and its depth must not cost a 64 KiB frame each.
    std::vector<LONGLONG> storage(kListBytes / sizeof(LONGLONG));
    const auto* buffer = reinterpret_cast<const unsigned char*>(storage.data());
    for (FILE_INFO_BY_HANDLE_CLASS kind = FileFullDirectoryRestartInfo;; kind = FileFullDirectoryInfo) {
      if (!GetFileInformationByHandleEx(folder, kind, storage.data(), kListBytes)) {
        if (GetLastError() == ERROR_NO_MORE_FILES) return {};
        return LastErrorStatus([&] { return "Cannot list " + QuotedPath(WithoutLongPathPrefix(folderFinal)); });
      }
      for (size_t at = 0;;) {
        const auto* info = reinterpret_cast<const FILE_FULL_DIR_INFO*>(buffer + at);
        ListedEntry entry{std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t)), info->FileAttributes};
        if (entry.name != L"." && entry.name != L"..") {
          if (++entries_ > kMostEntries) {
            return Failed(ERROR_CANT_ACCESS_FILE, "Too many entries to remove in", WithoutLongPathPrefix(folderFinal));
          }
          entries.push_back(std::move(entry));
        }
        if (info->NextEntryOffset == 0) break;
        at += info->NextEntryOffset;
      }
    }
  }

  Status Entry(const std::wstring& folderFinal, const ListedEntry& listed, int depth) {
    const std::wstring path = EntryPath(folderFinal, listed.name);
    if (path.empty()) return Failed(ERROR_INVALID_NAME, "Cannot remove", listed.name);
    const bool link = (listed.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool descend = (listed.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !link;
    const UniqueHandle entry = OpenForRemoval(path, descend);
    if (!entry) return LastErrorStatus([&] { return "Cannot open " + QuotedPath(WithoutLongPathPrefix(path)); });
    Result<std::wstring> final = FinalPathOf(entry.get());
    if (!final.ok()) return final.status();
    if (!link && !SameFileName(*final, path)) {
      return Failed(ERROR_CANT_ACCESS_FILE, "Left a link in place:", WithoutLongPathPrefix(path));
    }
    if (descend) {
      Status inside = Contents(entry.get(), path, depth + 1);
      if (!inside.ok()) return inside;
    }
    if (!DeleteThrough(entry.get())) {
      return LastErrorStatus([&] { return "Cannot remove " + QuotedPath(WithoutLongPathPrefix(path)); });
    }
    return {};
  }

  long entries_ = 0;
};

}  // namespace

Result<HeldRunFolder> HeldRunFolder::Create(const std::wstring& programFiles, std::wstring_view setupName) {
  const std::wstring setupPath = EntryPath(programFiles.size() > 3 && programFiles.back() == L'\\'
                                               ? programFiles.substr(0, programFiles.size() - 1)
                                               : programFiles,
                                           setupName);
  if (setupPath.empty()) return Failed(ERROR_INVALID_NAME, "No setup folder in", programFiles);
  const Status secured = SecureAdminsOnlyFolder(setupPath);
  if (!secured.ok()) return Failed(secured.code(), "Cannot secure the folder", setupPath);
  HeldRunFolder made;
  // Where the setup folder must resolve to: in the program files folder (wherever that leads).
  const UniqueHandle programs{CreateFileW(programFiles.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  if (!programs) return LastErrorStatus([&] { return "Cannot open the folder " + QuotedPath(programFiles); });
  Result<std::wstring> programsFinal = FinalPathOf(programs.get());
  if (!programsFinal.ok()) return programsFinal.status();
  const std::wstring setupFinal = EntryPath(*programsFinal, setupName);
  made.setup_ = OpenHeld(setupFinal, FILE_LIST_DIRECTORY | FILE_ADD_SUBDIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL);
  if (!made.setup_) return LastErrorStatus([&] { return "Cannot open the folder " + QuotedPath(setupPath); });
  Status judged = Judge(made.setup_.get(), setupFinal, setupPath);
  if (!judged.ok()) return judged;

  PSECURITY_DESCRIPTOR raw = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(AdminsOwnedFolderSddl().c_str(), SDDL_REVISION_1, &raw,
                                                            nullptr)) {
    return LastErrorStatus("Cannot make the administrators-only access list");
  }
  const UniqueLocalMemory descriptor{raw};
  Result<UniqueHandle> folder = Status::Failure(ERROR_ALREADY_EXISTS, "No fresh folder name");
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    folder = MakeFolder(setupFinal, RandomName(), raw, made.finalPath_);
    if (folder.ok() || folder.status().code() != ERROR_ALREADY_EXISTS) break;
  }
  if (!folder.ok()) return folder.status();
  made.folder_ = std::move(*folder);
  made.path_ = WithoutLongPathPrefix(made.finalPath_);
  Result<UniqueHandle> temp = MakeFolder(made.finalPath_, kTempName, raw, made.tempFinalPath_);
  if (!temp.ok()) return temp.status();
  made.temp_ = std::move(*temp);
  made.tempPath_ = WithoutLongPathPrefix(made.tempFinalPath_);
  return Result<HeldRunFolder>(std::move(made));
}

HeldRunFolder::HeldRunFolder(HeldRunFolder&& other) noexcept
    : setup_(std::move(other.setup_)),
      folder_(std::move(other.folder_)),
      temp_(std::move(other.temp_)),
      finalPath_(std::exchange(other.finalPath_, std::wstring())),
      tempFinalPath_(std::move(other.tempFinalPath_)),
      path_(std::move(other.path_)),
      tempPath_(std::move(other.tempPath_)),
      keep_(other.keep_) {}

HeldRunFolder& HeldRunFolder::operator=(HeldRunFolder&& other) noexcept {
  if (this != &other) {
    (void)Remove();
    setup_ = std::move(other.setup_);
    folder_ = std::move(other.folder_);
    temp_ = std::move(other.temp_);
    finalPath_ = std::move(other.finalPath_);
    tempFinalPath_ = std::move(other.tempFinalPath_);
    path_ = std::move(other.path_);
    tempPath_ = std::move(other.tempPath_);
    keep_ = other.keep_;
    other.finalPath_.clear();
  }
  return *this;
}

HeldRunFolder::~HeldRunFolder() { (void)Remove(); }

Result<UniqueHandle> HeldRunFolder::CreateNewFile(std::wstring_view name, DWORD access) const {
  const std::wstring path = EntryPath(finalPath_, name);
  if (finalPath_.empty() || path.empty()) return Failed(ERROR_INVALID_NAME, "Not a file name in the run's folder:", name);
  UniqueHandle file{CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
  if (!file) return LastErrorStatus([&] { return "Cannot create " + QuotedPath(WithoutLongPathPrefix(path)); });
  return Result<UniqueHandle>(std::move(file));
}

Status HeldRunFolder::Remove() {
  if (finalPath_.empty() || keep_) return {};
  // Nothing is deleted through a name that was not checked: each entry goes through a handle
  // checked to be it, the two folders are listed through their holds.
  TreeRemoval removal;
  if (temp_) {
    Status removed = removal.Contents(temp_.get(), tempFinalPath_, 1);
    if (!removed.ok()) return removed;
    temp_.reset();
    removed = TreeRemoval::Folder(tempFinalPath_);
    if (!removed.ok()) return removed;
  }
  if (folder_) {
    Status removed = removal.Contents(folder_.get(), finalPath_, 0);
    if (!removed.ok()) return removed;
    folder_.reset();
  }
  Status removed = TreeRemoval::Folder(finalPath_);
  if (!removed.ok()) return removed;
  setup_.reset();
  finalPath_.clear();
  return {};
}

}  // namespace orv
