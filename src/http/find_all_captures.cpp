#include "http/find_all_captures.h"

bool FindAllCaptures(const std::wstring&, const std::wstring&, std::vector<std::wstring>& results) {
  results.clear();
  return false;
}
