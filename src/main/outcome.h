#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What an installer's exit code means for the run.
enum class InstallerOutcome { Success, Cancelled, Failed };

// 0 is Success, 2 and 5 are Cancelled, every other code is Failed.
InstallerOutcome ClassifyExitCode(uint32_t exitCode);

// The installation id in its 36-character form (8-4-4-4-12 groups, lower-case hexadecimal, no
// braces) from a UUID's text in either letter case; nullopt when text is not of that form.
std::optional<std::wstring> InstallationIdFromUuidText(std::wstring_view text);

// The installer's parameters: "-id <id> -v \"<version>\" <commandLine>", each value inserted as
// it is (the stub's command line may be empty, leaving the trailing space).
std::wstring BuildInstallerParameters(std::wstring_view installationId, std::wstring_view version,
                                      std::wstring_view commandLine);

// Longest process command line the system accepts, in characters without the terminator.
inline constexpr std::size_t kMaxProcessCommandLine = 32766;

// True when the process command line the shell builds for a program, the path in double quotes,
// a space and the parameters, stays within kMaxProcessCommandLine.
bool FitsProcessCommandLine(std::size_t programPathLength, std::size_t parametersLength);

// The failure hit's address: "https://<host>/piwik.php?rec=1&url=nourl&apiv=1&idsite=2&_id=<id>
// &e_c=Undetermined&e_a=Failed&e_n=<exitCode in unsigned decimal>" (one line, nothing escaped).
std::wstring BuildTrackingUrl(std::wstring_view analyticsHost, std::wstring_view installationId, uint32_t exitCode);

// The cancellation page: base followed directly by the version, percent-encoded as one URL
// component (so "4.1.674" stays as it is).
std::wstring BuildCancellationPageAddress(std::wstring_view cancelPageBase, std::wstring_view version);

// Name of the stub's resumable copy in the temporary folder.
inline constexpr wchar_t kResumeCopyName[] = L"orvdl_setup.exe";

// The resume copy's path: tempFolder (a backslash added when it lacks one) + "orvdl_setup.exe";
// empty when tempFolder is empty.
std::wstring ResumeCopyPath(std::wstring_view tempFolder);
