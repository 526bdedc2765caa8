// Entry of orvpublish: the arguments as UTF-8, then the command.
#include <cstdio>
#include <string>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif
#include <vector>

#include "publish/publish_command.h"
#include "publish_commands.h"
#include "text/utf8.h"

namespace orv {
namespace {

int Run(const std::vector<std::string>& args) {
  PublishCommand command;
  std::string error;
  if (!ParsePublishCommand(args, command, error)) {
    std::fprintf(stderr, "orvpublish: %s\n", error.c_str());
    return kExitUsage;
  }
  return RunPublishCommand(command, stdout, stderr);
}

}  // namespace
}  // namespace orv

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  // The document goes out byte for byte as -o would write it: no CR added before each LF.
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(orv::ToUtf8(argv[i]));
  return orv::Run(args);
}
#else
int main(int argc, char** argv) { return orv::Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
