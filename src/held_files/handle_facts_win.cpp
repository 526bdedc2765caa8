#include "held_files/handle_facts.h"

#include <aclapi.h>
#include <sddl.h>

#include "base/last_error.h"
#include "base/unique_handle.h"

namespace orv {
namespace {

std::wstring SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) return {};
  const UniqueLocalMemory owned{text};
  return text;
}

// The SID of one token information class that holds a SID first (TokenUser, TokenOwner).
std::wstring TokenSid(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
  DWORD size = 0;
  GetTokenInformation(token, kind, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<unsigned char> buffer(size);
  if (!GetTokenInformation(token, kind, buffer.data(), size, &size)) return {};
  // TOKEN_USER begins with a SID_AND_ATTRIBUTES, TOKEN_OWNER with a PSID: both with the SID pointer.
  PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                               : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
  return SidText(sid);
}

}  // namespace

Result<std::wstring> FinalPathOf(HANDLE handle, DWORD flags) {
  std::wstring path(MAX_PATH, L'\0');
  for (int tries = 0; tries < 3; ++tries) {
    const DWORD length = GetFinalPathNameByHandleW(handle, &path[0], static_cast<DWORD>(path.size()), flags);
    if (length == 0) return LastErrorStatus("Cannot read the final path");
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length + 1);
  }
  return Status::Failure(ERROR_INSUFFICIENT_BUFFER, "Cannot read the final path");
}

bool SameFileName(std::wstring_view first, std::wstring_view second) {
  if (first.size() != second.size()) return false;
  if (first.empty()) return true;
  return CompareStringOrdinal(first.data(), static_cast<int>(first.size()), second.data(),
                              static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

Result<HeldFolderFacts> FolderFactsOf(HANDLE folder) {
  HeldFolderFacts facts;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(folder, &info)) return LastErrorStatus("Cannot read the folder's attributes");
  facts.attributes = info.dwFileAttributes;
  Result<std::wstring> path = FinalPathOf(folder);
  if (!path.ok()) return path.status();
  facts.finalPath = std::move(*path);
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR raw = nullptr;
  const DWORD read = GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                     nullptr, &raw);
  if (read != ERROR_SUCCESS) return Status::Failure(read, "Cannot read the folder's owner");
  const UniqueLocalMemory descriptor{raw};
  facts.ownerSid = SidText(owner);
  return facts;
}

std::vector<std::wstring> OwnOwnerSids() {
  std::vector<std::wstring> owners{kAdministratorsSid};
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return owners;
  const UniqueHandle token{raw};
  for (const TOKEN_INFORMATION_CLASS kind : {TokenOwner, TokenUser}) {
    std::wstring sid = TokenSid(token.get(), kind);
    if (!sid.empty()) owners.push_back(std::move(sid));
  }
  return owners;
}

}  // namespace orv
