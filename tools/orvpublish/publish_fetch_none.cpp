#include "publish_fetch.h"

namespace orv {

bool CanUseCaFile() { return false; }

bool CanFetch() { return false; }

bool Fetch(const std::string&, const std::string&, const FetchLimits&, const BodySink&, FetchResult& result) {
  result = FetchResult();
  result.error = "this build of orvpublish cannot fetch";
  return false;
}

}  // namespace orv
