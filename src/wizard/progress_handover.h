// The setup thread's progress on its way to the wizard model, which belongs
// to the main thread. The setup thread only keeps the latest status text,
// message text and gauge position here and goes on at once; the main thread
// shows them at its own pace, so a file costs the setup thread no wait for
// the main thread, and changes the main thread has not come to yet reach the
// model as their latest value.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace ferry {

class WizardModel;

class ProgressHandover {
 public:
  // Any thread.
  void SetStatusText(std::u16string_view text);
  void SetMessageText(std::u16string_view text);
  void SetGaugePosition(int32_t position);
  // Main thread: the changes kept since the last call onto the model
  // (nullptr drops them). False when there were none.
  bool ShowOn(WizardModel* model);

 private:
  struct Latest {
    std::optional<std::u16string> Status, Message;
    std::optional<int32_t> Gauge;
  };
  std::mutex mutex_;
  Latest latest_;
};

}  // namespace ferry
