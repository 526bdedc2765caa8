// The stub's own file held for the run: it cannot be renamed or replaced meanwhile, and the
// resume copy is made from the held file.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "link_fixtures.h"
#include "util/held_own_image.h"
#include "text/utf8.h"

namespace {

using namespace orv;

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  return std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
}

TEST(HeldOwnImage, HeldAgainstRenameAndCopiedFromTheHeldFile) {
  orv::Result<orv::HeldOwnImage> image = orv::HeldOwnImage::Hold();
  ASSERT_TRUE(image.ok()) << image.status().LogText();
  EXPECT_EQ(image->path(), OwnPath());
  const std::wstring moved = OwnPath() + L".moved";
  EXPECT_FALSE(MoveFileW(OwnPath().c_str(), moved.c_str())) << "renamed while held";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(links::WriteWhole(OwnPath(), "another program")) << "replaced while held";

  links::ScratchFolder scratch(L"image");
  ASSERT_TRUE(scratch.ok());
  const std::wstring copy = scratch / L"orvdl_setup.exe";
  ASSERT_TRUE(links::WriteWhole(copy, std::string(3 * 1024 * 1024, 'x')));  // longer than the program
  const orv::Status copied = image->CopyTo(copy);
  ASSERT_TRUE(copied.ok()) << copied.LogText();
  EXPECT_TRUE(links::ReadWhole(copy) == links::ReadWhole(OwnPath())) << "the copy differs";
  EXPECT_TRUE(image->IsAt(OwnPath()));
  EXPECT_FALSE(image->IsAt(copy));
  EXPECT_FALSE(image->IsAt(scratch / L"missing.exe"));
}

// Wine reports a mapped image under the name it was mapped by, also after a rename; Windows
// reports its current name, which is what shows that the file at the path is another one.
TEST(HeldOwnImage, ARenamedAndReplacedImageIsRefused) {
  if (links::RunningUnderWine()) GTEST_SKIP() << "Wine keeps a mapped image's first name";
  const std::wstring path = OwnPath();
  const std::wstring moved = path + L".moved";
  const std::string bytes = links::ReadWhole(path);
  ASSERT_TRUE(MoveFileW(path.c_str(), moved.c_str())) << GetLastError();
  ASSERT_TRUE(links::WriteWhole(path, bytes));
  orv::Result<orv::HeldOwnImage> image = orv::HeldOwnImage::Hold();
  EXPECT_FALSE(image.ok());
  if (!image.ok()) {
    EXPECT_EQ(image.status().code(), static_cast<uint32_t>(ERROR_FILE_INVALID));
  }
  image = orv::Status::Failure(0, "released");
  DeleteFileW(path.c_str());
  MoveFileW(moved.c_str(), path.c_str());
}

}  // namespace
