// Writes the test CA and the servers' certificates: orv_make_certs <folder>
#include <cstdio>
#include <string>

#include "certs.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: orv_make_certs FOLDER\n");
    return 2;
  }
  std::string error;
  if (!bed::MakeTestCertificates(argv[1], error)) {
    std::fprintf(stderr, "orv_make_certs: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
