#pragma once

namespace orv {

// The addresses compiled into one stub build; none of them can be changed at run time.
struct Endpoints {
  const wchar_t* configUrl;       // https address of the configuration document (ends in /orv.json)
  const wchar_t* analyticsHost;   // host[:port] that receives the failure hit over https
  const wchar_t* cancelPageBase;  // http address ending in "/installation-cancelled/?v="
  bool allowInvalidCertificates;  // true only in builds that accept any certificate for the configuration
};

}  // namespace orv
