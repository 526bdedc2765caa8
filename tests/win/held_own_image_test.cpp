// The stub's own file, renamed and replaced before the stub holds it, is not taken for the image
// that runs (the hold itself and the copy through it are shown end to end).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "link_fixtures.h"
#include "held_files/held_own_image.h"
#include "text/utf8.h"

namespace {

using namespace orv;

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  return std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
}

// Wine reports a mapped image under the name it was mapped by, also after a rename. Windows asks
// the file system for the mapped file's name, which this test expects to be the name it was
// renamed to: then the file at the program's path is not the image that runs.
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
