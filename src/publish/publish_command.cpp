#include "publish/publish_command.h"

#include <cstddef>

#include "config/config_freshness.h"
#include "config/config_keys.h"

namespace orv {

namespace {

struct Option {
  const char* name;
  bool takesValue;
  bool repeatable = false;
};

const Option kMakeOptions[] = {{"--wrapper", true},      {"--version", true}, {"--no-shortcut", false},
                               {"-o", true},             {"--mirror", true, true}, {"--product", true},
                               {"--serial", true},       {"--expires", true}, {"--key", true, true}};
const Option kCheckOptions[] = {{"--installer", true}, {"--pub", true, true}};
const Option kVerifyOptions[] = {{"--ca-file", true}, {"--pub", true, true}};
const Option kSignOptions[] = {{"--key", true, true}};
const Option kKeygenOptions[] = {{"--help", false}};

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

bool Required(const SplitArgs& split, const char* name, std::string& value, std::string& error,
              const char* command = "make") {
  const std::string* found = Value(split, name);
  if (!found) {
    error = std::string(command) + ": " + name + " is missing";
    return false;
  }
  value = *found;
  return true;
}

// Every value of the repeatable option name, in the order given.
std::vector<std::string> Values(const SplitArgs& split, std::string_view name) {
  std::vector<std::string> values;
  for (const auto& option : split.options) {
    if (option.first == name) values.push_back(option.second);
  }
  return values;
}

// make's freshness options, checked as the stub reads the keys they write.
bool ReadFreshness(const SplitArgs& split, PublishCommand& parsed, std::string& error) {
  if (const std::string* product = Value(split, "--product")) parsed.product = *product;
  if (const std::string* serial = Value(split, "--serial")) {
    uint64_t value = 0;
    bool digits = !serial->empty() && serial->size() <= 16;
    for (const char c : *serial) {
      digits = digits && c >= '0' && c <= '9';
      if (digits) value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (!digits || value < 1 || value > kMaxConfigSerial) {
      error = "make: --serial must be an integer from 1 to " + std::to_string(kMaxConfigSerial);
      return false;
    }
    parsed.serial = value;
  }
  if (const std::string* expires = Value(split, "--expires")) {
    parsed.expires = ParseUtcTime(*expires);
    if (!parsed.expires) {
      error = "make: --expires must be a UTC time YYYY-MM-DDTHH:MM:SSZ";
      return false;
    }
  }
  parsed.keys = Values(split, "--key");
  if (!parsed.keys.empty() && parsed.output.empty()) {
    error = "make: --key needs -o FILE: the signature is written beside the document, as FILE.sig";
    return false;
  }
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
  if (name != "make" && name != "check" && name != "verify" && name != "keygen" && name != "sign") {
    error = "unknown command " + name + " (keygen, make, sign, check or verify; see --help)";
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
    if (!ReadFreshness(split, parsed, error)) return false;
  } else if (name == "check") {
    if (!Split(name, args, kCheckOptions, split, error)) return false;
    parsed.kind = PublishCommand::Kind::Check;
    parsed.document = split.positional[0];
    if (const std::string* installer = Value(split, "--installer")) parsed.installer = *installer;
    parsed.pubs = Values(split, "--pub");
  } else if (name == "verify") {
    if (!Split(name, args, kVerifyOptions, split, error)) return false;
    parsed.kind = PublishCommand::Kind::Verify;
    parsed.url = split.positional[0];
    if (const std::string* caFile = Value(split, "--ca-file")) parsed.caFile = *caFile;
    parsed.pubs = Values(split, "--pub");
  } else if (name == "sign") {
    if (!Split(name, args, kSignOptions, split, error)) return false;
    parsed.kind = PublishCommand::Kind::Sign;
    parsed.document = split.positional[0];
    parsed.keys = Values(split, "--key");
    if (parsed.keys.empty()) {
      error = "sign: --key is missing";
      return false;
    }
  } else {
    if (!Split(name, args, kKeygenOptions, split, error)) return false;
    parsed.kind = PublishCommand::Kind::Keygen;
    parsed.name = split.positional[0];
  }
  if (parsed.keys.size() > kMaxConfigKeys || parsed.pubs.size() > kMaxConfigKeys) {
    error = name + ": at most " + std::to_string(kMaxConfigKeys) + " keys";
    return false;
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
           "-o -) it goes to standard output; FILE is replaced only once the whole document is written.\n"
           "--product, --serial (1 to 2^53-1, higher for every release) and --expires add the keys a\n"
           "signed stub requires; each --key (at most 4, needs -o) signs the document into FILE.sig.\n";
  }
  if (topic == "keygen") {
    return "usage: orvpublish keygen NAME\n"
           "Makes a P-256 key pair for signing configuration documents: NAME.key.pem (the private key,\n"
           "readable by its owner only; keep it off the servers) and NAME.pub.pem (the public key, for\n"
           "the stub's ORV_CONFIG_KEYS), and prints the key id. Existing files are not replaced.\n";
  }
  if (topic == "sign") {
    return "usage: orvpublish sign --key KEY.key.pem [--key ...] FILE\n"
           "Signs the document FILE, byte for byte as it is, with each key (at most 4) and writes\n"
           "FILE.sig. Each signature is checked by the stub's own rules before the file is written.\n";
  }
  if (topic == "check") {
    return "usage: orvpublish check FILE [--installer INSTALLER] [--pub KEY.pub.pem]...\n"
           "Reads the document FILE as the stub reads a response body in UTF-8 and prints the values\n"
           "the stub takes from it, or the error code and log line it would stop with. With\n"
           "--installer, also checks INSTALLER against the document's size, CRC-32 and SHA-256.\n"
           "With --pub, checks FILE.sig as a stub built with those keys does (and the keys a signed\n"
           "stub requires), and warns when the document expires within 14 days.\n"
           "Exit status: 0 the stub would accept it, 1 it would not, 2 bad arguments or unreadable files.\n";
  }
  if (topic == "verify") {
    return "usage: orvpublish verify URL [--ca-file PEM] [--pub KEY.pub.pem]...\n"
           "Fetches the document at the https URL with the server's certificate checked (against the\n"
           "system's authorities, or those in PEM; the Windows build takes its certificate store only),\n"
           "then the installer from its address and from each mirror, and checks them as the stub does:\n"
           "the document's values, the size limit, the CRC-32 and the SHA-256. Prints each transfer's\n"
           "HTTP status, size, time and throughput. Nothing is stored. With --pub, also fetches\n"
           "URL.sig and checks the pair as a stub built with those keys does.\n"
           "Exit status: 0 a stub would install from every address, 1 it would not, 2 bad arguments.\n";
  }
  return "usage: orvpublish COMMAND [ARGUMENTS]\n"
         "Publishing tool of the orvsetup stub: writes and checks its configuration document.\n"
         "  keygen NAME\n"
         "  make INSTALLER --wrapper URL --version TEXT [--mirror URL]... [--no-shortcut] [-o FILE]\n"
         "       [--product NAME --serial N --expires YYYY-MM-DDTHH:MM:SSZ --key KEY.key.pem...]\n"
         "  sign --key KEY.key.pem... FILE\n"
         "  check FILE [--installer INSTALLER] [--pub KEY.pub.pem...]\n"
         "  verify URL [--ca-file PEM] [--pub KEY.pub.pem...]\n"
         "orvpublish COMMAND --help describes a command.\n";
}

}  // namespace orv
