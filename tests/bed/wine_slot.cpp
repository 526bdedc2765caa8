#include "wine_slot.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace bed {

std::string SlotIdOf(const char* groupCount, const char* wineResource, std::string& error) {
  error.clear();
  if (!groupCount || !*groupCount || !wineResource || !*wineResource) return "";
  // "id:<id>,slots:<n>", or several such allocations separated by ';': the first one's id.
  const std::string value = wineResource;
  const std::string first = value.substr(0, value.find(';'));
  std::istringstream fields(first);
  std::string field;
  while (std::getline(fields, field, ',')) {
    if (field.rfind("id:", 0) == 0 && field.size() > 3) return field.substr(3);
  }
  error = "ctest's wine resource names no slot id: '" + value + "'";
  return "";
}

bool ParseSlotFile(const std::string& text, std::map<std::string, std::string>& variables, std::string& error) {
  variables.clear();
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) {
      error = "line " + std::to_string(number) + " is not KEY=VALUE: '" + line + "'";
      return false;
    }
    variables[line.substr(0, eq)] = line.substr(eq + 1);
  }
  if (variables.count("WINEPREFIX") == 0 || variables["WINEPREFIX"].empty()) {
    error = "no WINEPREFIX";
    return false;
  }
  return true;
}

std::string EnterGivenSlot(std::string& error) {
  const std::string id =
      SlotIdOf(std::getenv("CTEST_RESOURCE_GROUP_COUNT"), std::getenv("CTEST_RESOURCE_GROUP_0_WINE"), error);
  if (id.empty()) return "";
  const char* folder = std::getenv("ORV_WINE_SLOT_ENVS");
  if (!folder || !*folder) {
    error = "ctest gave Wine slot " + id + " but ORV_WINE_SLOT_ENVS is not set (run scripts/test.sh)";
    return "";
  }
  const std::string path = std::string(folder) + "/" + id + ".env";
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (in.is_open()) text << in.rdbuf();
  std::map<std::string, std::string> variables;
  if (!in.is_open() || !ParseSlotFile(text.str(), variables, error)) {
    error = "Wine slot " + id + ": cannot use " + path + (error.empty() ? "" : ": " + error);
    return "";
  }
  for (const auto& [key, value] : variables) setenv(key.c_str(), value.c_str(), 1);
  return id;
}

}  // namespace bed
