// sleeper MILLISECONDS|forever MARKER: waits, then writes MARKER.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  DWORD wait = std::strcmp(argv[1], "forever") == 0 ? 20000 : static_cast<DWORD>(std::atoi(argv[1]));
  Sleep(wait);
  std::FILE* f = std::fopen(argv[2], "wb");
  if (!f) return 3;
  std::fputs("done", f);
  std::fclose(f);
  return 0;
}
