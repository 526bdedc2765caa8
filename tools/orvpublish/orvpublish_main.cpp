// Entry of orvpublish: the arguments as UTF-8, then the command.
#include <cstdio>
#include <string>
#include <vector>

#include "publish/publish_command.h"
#include "publish_commands.h"
#include "util/utf8.h"

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

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(ToUtf8(argv[i]));
  return Run(args);
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
