// A finishing program for the tests: appends its command line to the file
// FERRY_TEST_FINALISER_MARK names, so a test knows it ran and from where.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain() {
  const wchar_t* mark = _wgetenv(L"FERRY_TEST_FINALISER_MARK");
  if (!mark) return 1;
  FILE* f = _wfopen(mark, L"a");
  if (!f) return 1;
  std::fwprintf(f, L"%ls\n", GetCommandLineW());
  std::fclose(f);
  return 0;
}
