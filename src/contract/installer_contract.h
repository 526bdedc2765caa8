#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What the stub and the installer agree on: the parameters it is started with (the installation id
// among them) and what its exit code means.
namespace orv {

// nullopt when text is not a UUID's text (8-4-4-4-12 hexadecimal groups, either letter case,
// no braces); otherwise the installation id: that text in lower case, 36 characters.
[[nodiscard]] std::optional<std::wstring> InstallationIdFromUuidText(std::wstring_view text);

// The installer's parameters: "-id <id> -v \"<version>\" <commandLine>", each value inserted as
// it is (the stub's command line may be empty, leaving the trailing space). Nothing is cut.
std::wstring BuildInstallerParameters(std::wstring_view installationId, std::wstring_view version,
                                      std::wstring_view commandLine);

// Longest process command line the system accepts, in characters without the terminator.
inline constexpr std::size_t kMaxProcessCommandLine = 32766;

// False when the process command line the shell builds for a program (the path in double quotes,
// a space and the parameters) would exceed kMaxProcessCommandLine; true otherwise.
[[nodiscard]] bool FitsProcessCommandLine(std::size_t programPathLength, std::size_t parametersLength);

// What an installer's exit code means for the run.
enum class InstallerOutcome { Success, Cancelled, Failed };

// 0 is Success, 2 and 5 are Cancelled, every other code is Failed.
InstallerOutcome ClassifyExitCode(uint32_t exitCode);

}  // namespace orv
