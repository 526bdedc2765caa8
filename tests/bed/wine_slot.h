#pragma once
// Wine slots: scripts/test.sh prepares several Wine prefixes, each with its own wineserver, home
// and Xvfb display, and describes slot <id> in <ORV_WINE_SLOT_ENVS>/<id>.env (lines KEY=VALUE:
// WINEPREFIX, HOME, DISPLAY, ORV_TESTBED_OUT). ctest hands each Wine test one slot of its resource
// "wine" (the resources file that scripts/test.sh hands it), so tests in different slots run at once without sharing any Wine
// state: log file, temporary folder, desktop, program files, registry, named objects.
#include <map>
#include <string>

namespace bed {

// The slot id in ctest's resource variables for the first group's "wine" resource
// ("id:2,slots:1" gives "2"); empty when the test was given no slot; error set when the value
// has no id.
std::string SlotIdOf(const char* groupCount, const char* wineResource, std::string& error);

// The variables of a slot file's text, one KEY=VALUE per line (empty lines skipped); false with
// error naming the line when a line has no '=' or an empty key, or when WINEPREFIX is missing.
[[nodiscard]] bool ParseSlotFile(const std::string& text, std::map<std::string, std::string>& variables,
                                 std::string& error);

// Takes the slot that ctest gave this process: its variables replace the process's own, so that
// every program started afterwards runs in the slot. Returns the slot id (empty without a slot);
// error set when a slot was given but cannot be taken.
std::string EnterGivenSlot(std::string& error);

}  // namespace bed
