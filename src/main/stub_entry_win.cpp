#include "main/stub_entry.h"

#include "main/command_line.h"
#include "main/setup_run.h"
#include "main/silent_run.h"
#include "main/windows_ports.h"

namespace orv {

uint32_t RunStubEntry(HINSTANCE instance, const wchar_t* commandLine, const Endpoints& endpoints,
                      const PublisherPinning* pinning, const ConfigSigning& signing,
                      const DownloadTimings& timings, const std::vector<std::wstring>& carriedNames) {
  orv::RunSettings settings;
  settings.commandLine = commandLine ? commandLine : L"";
  settings.cancelPageBase = endpoints.cancelPageBase ? endpoints.cancelPageBase : L"";
  settings.analyticsHost = endpoints.analyticsHost ? endpoints.analyticsHost : L"";
  if (pinning) settings.publisherPin = pinning->pin;
  settings.downloadTimings = timings;
  settings.configKeys = signing.keys;
  if (signing.product) settings.product = signing.product;
  settings.configSerialFloor = signing.serialFloor;
  settings.silent = DecideSilent(HasSilentSwitch(settings.commandLine), ReadProcessWindowStation());
  orv::WindowsPorts ports(instance, endpoints, pinning ? pinning->readSignature : nullptr, settings.silent.silent(),
                          carriedNames);
  return orv::SetupRun(ports.ports(), settings);
}

}  // namespace orv
