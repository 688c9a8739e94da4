// check_imports FILE...: prints the DLLs each Windows program imports and
// fails when one of them is not on the short list of pe_imports.h, or when a
// file cannot be read as a program.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "pe_imports.h"

int main(int argc, char** argv) {
  int bad = 0;
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto dlls = ferry::ReadPeImports(bytes);
    if (!in.is_open() || !dlls) {
      std::printf("FAIL %s: not readable as a program\n", argv[i]);
      ++bad;
      continue;
    }
    std::printf("%s:", argv[i]);
    for (const std::string& dll : *dlls) std::printf(" %s", dll.c_str());
    std::printf("\n");
    for (const std::string& dll : *dlls)
      if (!ferry::IsSystemOnlyDll(dll)) {
        std::printf("FAIL %s imports %s, which Windows may load from the program's own folder\n", argv[i],
                    dll.c_str());
        ++bad;
      }
  }
  if (argc < 2) std::printf("usage: check_imports FILE...\n");
  return bad || argc < 2 ? 1 : 0;
}
