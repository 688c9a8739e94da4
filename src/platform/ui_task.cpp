#include "platform/ui_task.h"

#include "base/setup_error.h"

namespace ferry {

namespace {

constexpr UINT kRunTaskMessage = WM_APP + 0x1F5;
constexpr wchar_t kClassName[] = L"FerryUiTaskWindow";

struct Task {
  const std::function<void()>* Work;
  std::exception_ptr Error;
};

void RegisterClassOnce(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  if (GetClassInfoExW(instance, kClassName, &wc)) return;
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
}

}  // namespace

UiTaskWindow::UiTaskWindow() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterClassOnce(instance);
  hwnd_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (!hwnd_) throw SetupError("Cannot create the message window of the main thread");
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
  thread_id_ = GetCurrentThreadId();
}

UiTaskWindow::~UiTaskWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
}

bool UiTaskWindow::OnMainThread() const { return GetCurrentThreadId() == thread_id_; }

LRESULT CALLBACK UiTaskWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != kRunTaskMessage) return DefWindowProcW(hwnd, msg, wParam, lParam);
  Task* task = reinterpret_cast<Task*>(lParam);
  try {
    (*task->Work)();
  } catch (...) {
    // Carried back to the sending thread: nothing may unwind through the
    // window procedure.
    task->Error = std::current_exception();
  }
  return 1;
}

void UiTaskWindow::Send(const std::function<void()>& work) {
  if (OnMainThread()) {
    work();
    return;
  }
  Task task{&work, nullptr};
  SendMessageW(hwnd_, kRunTaskMessage, 0, reinterpret_cast<LPARAM>(&task));
  if (task.Error) std::rethrow_exception(task.Error);
}

void UiTaskWindow::PumpPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

namespace {
constexpr DWORD kPumpSleepMs = 10;
}  // namespace

void UiTaskWindow::PumpUntil(const std::function<bool()>& done) {
  while (!done()) {
    PumpPending();
    if (done()) break;
    // A sleep that a sent or posted message cuts short, so a worker's
    // hand-over does not wait for it to run out. Only the end of the work
    // waits for it: each wake is a round trip through the system, and a
    // long run of small files was waking a thousand times a second.
    MsgWaitForMultipleObjectsEx(0, nullptr, kPumpSleepMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

}  // namespace ferry
