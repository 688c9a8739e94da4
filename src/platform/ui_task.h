// The one way work reaches the main thread from another thread: a hidden
// message-only window of the main thread. Send() runs a function on that
// thread and returns when it has run (SendMessage), so a worker's change to
// a window is done before the worker goes on. Message-only windows need no
// display, so silent runs use the same road.
//
// The main thread must keep pumping messages while a worker may send (the
// wizard's wait for the setup thread does: PumpUntil).
#pragma once

#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>

namespace ferry {

class UiTaskWindow {
 public:
  // Creates the window on the calling thread, which becomes the main thread.
  // Throws SetupError when the window cannot be created.
  UiTaskWindow();
  ~UiTaskWindow();
  UiTaskWindow(const UiTaskWindow&) = delete;
  UiTaskWindow& operator=(const UiTaskWindow&) = delete;

  // Runs `work` on the main thread and returns when it is done. On the main
  // thread itself it runs at once. An exception thrown by `work` is thrown
  // again here.
  void Send(const std::function<void()>& work);

  // Main thread: handles pending messages (sent ones included), then waits
  // up to 10 ms for more, until `done` holds.
  void PumpUntil(const std::function<bool()>& done);
  // Main thread: handles the messages that are pending now.
  static void PumpPending();

  HWND Handle() const { return hwnd_; }
  bool OnMainThread() const;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
  DWORD thread_id_ = 0;
};

}  // namespace ferry
