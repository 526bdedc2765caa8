#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// What one run of orvpublish was asked to do.
struct PublishCommand {
  enum class Kind { Help, Make, Check, Verify, Keygen, Sign };
  Kind kind = Kind::Help;
  std::string topic;      // Help: "", "make", "check", "verify", "keygen" or "sign"
  std::string installer;  // Make: the installer; Check: the optional installer to check
  std::string wrapper;    // Make: the installer's address
  std::vector<std::string> mirrors;  // Make: further addresses (--mirror, in the order given)
  std::string version;    // Make
  bool shortcut = true;   // Make: false with --no-shortcut
  std::string output;     // Make: the document's file, "" for standard output
  std::string document;   // Check: the document's file
  std::string url;        // Verify: the document's address
  std::string caFile;     // Verify: PEM certificates to trust instead of the system's
  std::string product;    // Make: the product the document is for ("" for none)
  std::optional<uint64_t> serial;    // Make: the document's serial
  std::optional<int64_t> expires;    // Make: its expiry, seconds since 1970 (UTC)
  std::vector<std::string> keys;     // Make, Sign: private keys (PEM) that sign the document
  std::vector<std::string> pubs;     // Check, Verify: public keys (PEM) the signature is checked with
  std::string name;       // Keygen: the key files' name, before ".key.pem" and ".pub.pem"
};

// Exit statuses of orvpublish.
inline constexpr int kExitAccepted = 0;  // a stub would accept (make: the document was written)
inline constexpr int kExitRefused = 1;   // a stub would refuse, or make could not write it
inline constexpr int kExitUsage = 2;     // bad arguments, or an input that cannot be read

// False with error set (one line, e.g. "make: --wrapper is missing") when args (the arguments
// after the program's name) are not a valid command; else true with command filled. "--help"
// anywhere, or no arguments, gives Kind::Help for the command named first.
[[nodiscard]] bool ParsePublishCommand(const std::vector<std::string>& args, PublishCommand& command,
                                       std::string& error);

// The help text for topic ("" for the program as a whole); ends in a newline.
std::string PublishHelp(std::string_view topic);

}  // namespace orv
