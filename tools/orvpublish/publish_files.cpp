#include "publish_files.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "text/utf8.h"

namespace orv {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string Reason() { return std::strerror(errno); }

class FileByteSource : public ByteSource {
 public:
  explicit FileByteSource(std::FILE* file) : file_(file) {}
  bool Read(void* buffer, size_t capacity, size_t& got) override {
    got = std::fread(buffer, 1, capacity, file_);
    return got > 0 || !std::ferror(file_);
  }

 private:
  std::FILE* file_;
};

// Writes bytes to a new file at path and flushes them to the disk.
bool WriteNewFile(const std::string& path, const std::string& bytes) {
#ifdef _WIN32
  const int descriptor = _wopen(FromUtf8(path).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  std::FILE* file = descriptor < 0 ? nullptr : _fdopen(descriptor, "wb");
#else
  const int descriptor = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
  std::FILE* file = descriptor < 0 ? nullptr : fdopen(descriptor, "wb");
#endif
  if (!file) {
    if (descriptor >= 0) {
#ifdef _WIN32
      _close(descriptor);
#else
      close(descriptor);
#endif
    }
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
#ifdef _WIN32
  ok = ok && _commit(_fileno(file)) == 0;
#else
  ok = ok && fsync(fileno(file)) == 0;
#endif
  const int saved = errno;
  ok = std::fclose(file) == 0 && ok;
  if (!ok && errno == 0) errno = saved;
  return ok;
}

bool RenameOver(const std::string& from, const std::string& to) {
#ifdef _WIN32
  if (MoveFileExW(FromUtf8(from).c_str(), FromUtf8(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  errno = EACCES;
  return false;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

std::FILE* OpenUtf8File(const std::string& path, const char* mode) {
#ifdef _WIN32
  return _wfopen(FromUtf8(path).c_str(), FromUtf8(mode).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

bool ReadFileHead(const std::string& path, uint64_t limit, std::string& bytes, std::string& error) {
  const FilePtr file(OpenUtf8File(path, "rb"));
  if (!file) {
    error = "cannot read " + path + ": " + Reason();
    return false;
  }
  std::string content;
  char chunk[64 * 1024];
  while (content.size() < limit) {
    const uint64_t wanted = limit - content.size() < sizeof(chunk) ? limit - content.size() : sizeof(chunk);
    const size_t got = std::fread(chunk, 1, static_cast<size_t>(wanted), file.get());
    if (got == 0) break;
    content.append(chunk, got);
  }
  if (std::ferror(file.get())) {
    error = "cannot read " + path + ": " + Reason();
    return false;
  }
  bytes.swap(content);
  return true;
}

bool SumFile(const std::string& path, FileSums& sums, std::string& error) {
  const FilePtr file(OpenUtf8File(path, "rb"));
  if (!file) {
    error = "cannot read " + path + ": " + Reason();
    return false;
  }
  FileByteSource source(file.get());
  if (!ComputeFileSums(source, sums)) {
    error = "cannot read " + path + ": " + Reason();
    return false;
  }
  return true;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& error) {
  std::random_device random;
  const std::string temporary = path + ".orvpublish-" + std::to_string(random() % 1000000u) + ".tmp";
  errno = 0;
  if (!WriteNewFile(temporary, bytes) || !RenameOver(temporary, path)) {
    error = "cannot write " + path + ": " + Reason();
#ifdef _WIN32
    _wremove(FromUtf8(temporary).c_str());
#else
    std::remove(temporary.c_str());
#endif
    return false;
  }
  return true;
}

}  // namespace orv
