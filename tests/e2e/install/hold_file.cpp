// hold_file FILE READY STOP: opens FILE without sharing (so the system
// refuses every other open of it), writes READY, and keeps FILE open until
// STOP exists or a minute has passed.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  HANDLE held = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 3;
  std::FILE* ready = std::fopen(argv[2], "wb");
  if (!ready) return 4;
  std::fclose(ready);
  for (int i = 0; i < 600 && GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  CloseHandle(held);
  return 0;
}
