#include <windows.h>

#include "build_endpoints.h"
#include "main/endpoints.h"
#include "main/setup_run.h"
#include "main/windows_run_effects.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  const Endpoints endpoints{ORV_BUILD_CONFIG_URL, ORV_BUILD_ANALYTICS_HOST, ORV_BUILD_CANCEL_PAGE_BASE,
                            ORV_BUILD_ALLOW_INVALID_CERTIFICATES};
  RunSettings settings;
  settings.commandLine = commandLine ? commandLine : L"";
  settings.cancelPageBase = endpoints.cancelPageBase ? endpoints.cancelPageBase : L"";
  settings.analyticsHost = endpoints.analyticsHost ? endpoints.analyticsHost : L"";
  WindowsRunEffects effects(instance, endpoints);
  return static_cast<int>(SetupRun(effects, settings));
}
