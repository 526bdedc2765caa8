#include "publish/publish_command.h"

#include <cstddef>

namespace orv {

namespace {

struct Option {
  const char* name;
  bool takesValue;
  bool repeatable = false;
};

const Option kMakeOptions[] = {
    {"--wrapper", true}, {"--version", true}, {"--no-shortcut", false}, {"-o", true}, {"--mirror", true, true}};
const Option kCheckOptions[] = {{"--installer", true}};
const Option kVerifyOptions[] = {{"--ca-file", true}};

template <std::size_t N>
const Option* FindOption(const Option (&options)[N], std::string_view name) {
  for (const Option& option : options) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

// The command's options and its one positional argument, checked against its table.
struct SplitArgs {
  std::vector<std::pair<std::string, std::string>> options;  // name, value ("" for a flag)
  std::vector<std::string> positional;
};

template <std::size_t N>
bool Split(const std::string& command, const std::vector<std::string>& args, const Option (&table)[N],
           SplitArgs& split, std::string& error) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 2 || arg[0] != '-') {
      split.positional.push_back(arg);
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const Option* option = FindOption(table, name);
    if (!option) {
      error = command + ": unknown option " + name;
      return false;
    }
    for (const auto& seen : split.options) {
      if (seen.first == name && !option->repeatable) {
        error = command + ": " + name + " is given twice";
        return false;
      }
    }
    std::string value;
    if (!option->takesValue) {
      if (equals != std::string::npos) {
        error = command + ": " + name + " takes no value";
        return false;
      }
    } else if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      error = command + ": " + name + " needs a value";
      return false;
    }
    if (option->takesValue && value.empty()) {
      error = command + ": " + name + " needs a value";
      return false;
    }
    split.options.emplace_back(name, value);
  }
  if (split.positional.size() != 1) {
    error = command + (split.positional.empty() ? ": an argument is missing" : ": too many arguments");
    return false;
  }
  return true;
}

const std::string* Value(const SplitArgs& split, std::string_view name) {
  for (const auto& option : split.options) {
    if (option.first == name) return &option.second;
  }
  return nullptr;
}

bool Required(const SplitArgs& split, const char* name, std::string& value, std::string& error) {
  const std::string* found = Value(split, name);
  if (!found) {
    error = std::string("make: ") + name + " is missing";
    return false;
  }
  value = *found;
  return true;
}

}  // namespace

bool ParsePublishCommand(const std::vector<std::string>& args, PublishCommand& command, std::string& error) {
  PublishCommand parsed;
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    parsed.topic = args.size() > 1 && args[0] == "help" ? args[1] : "";
    command = parsed;
    return true;
  }
  const std::string& name = args[0];
  if (name != "make" && name != "check" && name != "verify") {
    error = "unknown command " + name + " (make, check or verify; see --help)";
    return false;
  }
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      parsed.topic = name;
      command = parsed;
      return true;
    }
  }
  SplitArgs split;
  if (name == "make") {
    if (!Split(name, args, kMakeOptions, split, error)) return false;
    parsed.kind = PublishCommand::Kind::Make;
    parsed.installer = split.positional[0];
    if (!Required(split, "--wrapper", parsed.wrapper, error) || !Required(split, "--version", parsed.version, error)) {
      return false;
    }
    parsed.shortcut = Value(split, "--no-shortcut") == nullptr;
    for (const auto& option : split.options) {
      if (option.first == "--mirror") parsed.mirrors.push_back(option.second);
    }
    if (const std::string* output = Value(split, "-o")) parsed.output = *output == "-" ? "" : *output;
  } else if (name == "check") {
    if (!Split(name, args, kCheckOptions, split, error)) return false;
    parsed.kind = PublishCommand::Kind::Check;
    parsed.document = split.positional[0];
    if (const std::string* installer = Value(split, "--installer")) parsed.installer = *installer;
  } else {
    if (!Split(name, args, kVerifyOptions, split, error)) return false;
    parsed.kind = PublishCommand::Kind::Verify;
    parsed.url = split.positional[0];
    if (const std::string* caFile = Value(split, "--ca-file")) parsed.caFile = *caFile;
  }
  command = parsed;
  return true;
}

std::string PublishHelp(std::string_view topic) {
  if (topic == "make") {
    return "usage: orvpublish make INSTALLER --wrapper URL --version TEXT [--mirror URL]... [--no-shortcut]\n"
           "                         [-o FILE]\n"
           "Writes the configuration document for INSTALLER, to be served at the stub's /orv.json:\n"
           "its CRC-32, SHA-256 and exact size, the address the stub downloads it from (URL) and\n"
           "the version it is given. --mirror (at most 8, in order): further addresses of the same\n"
           "file, tried when the ones before fail. --no-shortcut: a cancelled installation leaves no resume\n"
           "shortcut. The document is read back as the stub reads it before it is written; what the\n"
           "stub would refuse is not written (exit 1, with the stub's reason). Without -o (or with\n"
           "-o -) it goes to standard output; FILE is replaced only once the whole document is written.\n";
  }
  if (topic == "check") {
    return "usage: orvpublish check FILE [--installer INSTALLER]\n"
           "Reads the document FILE as the stub reads a response body in UTF-8 and prints the values\n"
           "the stub takes from it, or the error code and log line it would stop with. With\n"
           "--installer, also checks INSTALLER against the document's size, CRC-32 and SHA-256.\n"
           "Exit status: 0 the stub would accept it, 1 it would not, 2 bad arguments or unreadable files.\n";
  }
  if (topic == "verify") {
    return "usage: orvpublish verify URL [--ca-file PEM]\n"
           "Fetches the document at the https URL with the server's certificate checked (against the\n"
           "system's authorities, or those in PEM; the Windows build takes its certificate store only),\n"
           "then the installer from its address and from each mirror, and checks them as the stub does:\n"
           "the document's values, the size limit, the CRC-32 and the SHA-256. Prints each transfer's\n"
           "HTTP status, size, time and throughput. Nothing is stored.\n"
           "Exit status: 0 a stub would install from every address, 1 it would not, 2 bad arguments.\n";
  }
  return "usage: orvpublish COMMAND [ARGUMENTS]\n"
         "Publishing tool of the orvsetup stub: writes and checks its configuration document.\n"
         "  make INSTALLER --wrapper URL --version TEXT [--mirror URL]... [--no-shortcut] [-o FILE]\n"
         "  check FILE [--installer INSTALLER]\n"
         "  verify URL [--ca-file PEM]\n"
         "orvpublish COMMAND --help describes a command.\n";
}

}  // namespace orv
