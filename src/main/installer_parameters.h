#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace orv {

// The installer's parameters: "-id <id> -v \"<version>\" <commandLine>", each value inserted as
// it is (the stub's command line may be empty, leaving the trailing space). Nothing is cut.
std::wstring BuildInstallerParameters(std::wstring_view installationId, std::wstring_view version,
                                      std::wstring_view commandLine);

// Longest process command line the system accepts, in characters without the terminator.
inline constexpr std::size_t kMaxProcessCommandLine = 32766;

// False when the process command line the shell builds for a program (the path in double quotes,
// a space and the parameters) would exceed kMaxProcessCommandLine; true otherwise.
[[nodiscard]] bool FitsProcessCommandLine(std::size_t programPathLength, std::size_t parametersLength);

}  // namespace orv
