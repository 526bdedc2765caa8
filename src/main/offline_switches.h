#pragma once
// The administrators' switches of an offline installation: "-layout <folder>" writes what an
// installation needs into a folder, "-source <folder>" installs from such a folder.
#include <string>
#include <string_view>

namespace orv {

enum class OfflineMode {
  Online,  // neither switch: the configuration and the installer come over the network
  Layout,  // fetch and check everything, write it into the folder, start nothing
  Source,  // no network: read and check the folder's files, run its installer
};

// What the command line asks for, and what is passed on to the installer.
struct OfflineRequest {
  OfflineMode mode = OfflineMode::Online;
  std::wstring folder;    // the switch's folder, without separators at its end (a drive keeps "X:\")
  std::wstring passedOn;  // the command line without the switch and its folder, else as given
  std::string misuse;     // not empty: why the switches cannot be used as given (the run ends with code 8)
};

// Reads "-layout" and "-source" (any letter case, any position) and the argument after each from
// commandLine, split as the platform splits it. A misuse when a switch has no folder after it (or
// an empty one), or when the switches appear more than once together (both, or one twice); then
// mode is Online and passedOn the whole line. Without either switch: Online, passedOn the line.
OfflineRequest ReadOfflineSwitches(std::wstring_view commandLine);

}  // namespace orv
