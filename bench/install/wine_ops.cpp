// What the steps of extracting one small file cost under Wine, each on its
// own, at growing counts: a synchronous hand-over to another thread's
// message window (as the progress sinks do), a folder check, and creating,
// writing and closing a 2 KiB file (100 to a folder, or all in one folder).
// Built with the mingw compiler by bench_install; prints one line per step:
//   wine_ops/<step>/<count>  <microseconds per op, wall>  <cpu>
// The wineserver's share is not in these figures (bench_install reads it).
//
//   wine_ops.exe FOLDER COUNT...
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT kTask = WM_APP + 1;

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto s = [](FILETIME f) { return (static_cast<double>(f.dwHighDateTime) * 4294967296.0 + f.dwLowDateTime) / 1e7; };
  return s(kernel) + s(user);
}

double WallSeconds() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

struct Timer {
  double wall = WallSeconds(), cpu = CpuSeconds();
  void Print(const char* step, long count) const {
    std::printf("wine_ops/%s/%ld  %.1f us  cpu %.1f us\n", step, count, (WallSeconds() - wall) * 1e6 / count,
                (CpuSeconds() - cpu) * 1e6 / count);
    std::fflush(stdout);
  }
};

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == kTask) {
    ++*reinterpret_cast<long*>(l);
    return 1;
  }
  return DefWindowProcW(h, m, w, l);
}

// The worker sends `count` messages; this thread pumps the way the wizard's
// wait does (peek, then a 1 ms wait that a sent message cuts short).
void HandOvers(long count) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"WineOpsTask";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  long received = 0;
  volatile bool done = false;
  Timer t;
  std::thread worker([&] {
    for (long i = 0; i < count; ++i) SendMessageW(hwnd, kTask, 0, reinterpret_cast<LPARAM>(&received));
    done = true;
  });
  while (!done) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    if (done) break;
    MsgWaitForMultipleObjectsEx(0, nullptr, 1, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  worker.join();
  t.Print("hand_over", count);
  DestroyWindow(hwnd);
  if (received != count) std::printf("hand_over: %ld of %ld delivered\n", received, count);
}

std::wstring FileName(const std::wstring& root, long i, bool spread) {
  wchar_t name[64];
  if (spread)
    swprintf(name, 64, L"\\d%04ld\\f%06ld.dat", i / 100, i);
  else
    swprintf(name, 64, L"\\f%06ld.dat", i);
  return root + name;
}

void CreateFiles(const std::wstring& root, long count, bool spread) {
  std::vector<char> data(2048, 'x');
  CreateDirectoryW(root.c_str(), nullptr);
  Timer t;
  for (long i = 0; i < count; ++i) {
    if (spread && i % 100 == 0) CreateDirectoryW(FileName(root, i, true).substr(0, root.size() + 6).c_str(), nullptr);
    HANDLE h = CreateFileW(FileName(root, i, spread).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      std::printf("create failed at %ld\n", i);
      return;
    }
    DWORD written = 0;
    WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    CloseHandle(h);
  }
  t.Print(spread ? "create_100_per_folder" : "create_one_folder", count);
}

void FolderChecks(const std::wstring& root, long count) {
  std::wstring folder = root + L"\\d0000";
  long found = 0;
  Timer t;
  for (long i = 0; i < count; ++i) found += GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES;
  t.Print("folder_check", count);
  if (found != count) std::printf("folder_check: %ld of %ld found\n", found, count);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: wine_ops FOLDER COUNT...\n");
    return 2;
  }
  int n = 0;
  wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &n);
  std::wstring base = wargv[1];
  CreateDirectoryW(base.c_str(), nullptr);
  for (int a = 2; a < argc; ++a) {
    long count = std::atol(argv[a]);
    std::wstring root = base + L"\\" + std::to_wstring(count);
    HandOvers(count * 2);
    CreateFiles(root + L"s", count, true);
    FolderChecks(root + L"s", count);
    CreateFiles(root + L"f", count, false);
  }
  return 0;
}
