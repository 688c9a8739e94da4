// The "Verifying Contents" window: a small tool window that counts up while
// start-up checks the archive entries.
//
//   client 321 x 70, "MS Shell Dlg 2" 8 pt, centred, no border icons
//   Label1        8,8    "Verifying contents please wait..."
//   StatusLabel   8,32   status text
//   ProgressBar1  8,48   305 x 16, smooth
#pragma once

#include <windows.h>

#include <string>

#include "engine/startup.h"

namespace ferry {

class VerifyForm : public VerifyView {
 public:
  // Creates and shows the window. Without a display nothing is created and
  // every call does nothing.
  VerifyForm();
  ~VerifyForm() override;
  VerifyForm(const VerifyForm&) = delete;
  VerifyForm& operator=(const VerifyForm&) = delete;

  void SetStatus(const std::string& text) override;
  void SetProgress(uint32_t position, uint32_t maximum) override;
  void Refresh() override;
  void HoldAndClose(uint32_t milliseconds) override;

  HWND Handle() const { return hwnd_; }
  static constexpr const wchar_t* kClassName = L"FerryVerifyForm";

 private:
  void Close();
  void Show();  // puts the latest status and position on the controls

  static constexpr DWORD kPaintIntervalMs = 25;
  HWND hwnd_ = nullptr;
  HWND status_ = nullptr;
  HWND progress_ = nullptr;
  HFONT font_ = nullptr;
  std::string status_text_;
  uint32_t position_ = 0, maximum_ = 0;
  bool shown_ = true;
  DWORD last_paint_ = 0;
};

}  // namespace ferry
