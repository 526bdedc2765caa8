#include "main/installer_launch.h"

bool LaunchInstallerAndAct(const LaunchRequest&, uint32_t&) { return false; }
