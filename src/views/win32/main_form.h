// MainForm: the wizard window. It shows the wizard model's state (pages,
// buttons, titles, the language menu) and forwards what the user does to
// the model; every rule is the model's. The form's metrics are those of a
// 96-dpi layout, scaled by the monitor's DPI.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "views/win32/page_controls.h"
#include "views/win32/system_look.h"
#include "wizard/wizard_model.h"

namespace ferry {

struct FrmMainArgs {
  WizardModel* Model = nullptr;
  // The Debug button's window; none: the button does nothing.
  std::function<void(HWND owner)> ShowDebug;
  // The Debug button is a developer's aid: hidden unless asked for (/DEBUG).
  bool DebugButtonVisible = false;
};

class MainForm : public WizardObserver {
 public:
  static constexpr const wchar_t* kClassName = L"FerryWizardForm";
  static constexpr const wchar_t* kPanelClassName = L"FerryPagePanel";
  static constexpr int kClientWidth = 578;
  static constexpr int kClientHeight = 413;
  // Control ids of the form's own buttons.
  enum : UINT { kIdBack = 2, kIdNext = 3, kIdCancel = 4, kIdLanguage = 5, kIdDebug = 6, kIdFirstPageControl = 100 };
  static constexpr UINT kIdFirstLanguage = 1000;

  // Creates the hidden form; throws SetupError when it cannot.
  explicit MainForm(const FrmMainArgs& args);
  ~MainForm() override;
  MainForm(const MainForm&) = delete;
  MainForm& operator=(const MainForm&) = delete;

  // After the model's SetPagesUp: builds the page controls and shows the
  // form on the first page.
  void Show();
  // Runs the message loop until the form is gone.
  void RunMessageLoop();

  HWND Handle() const { return hwnd_; }
  HWND Panel() const { return panel_; }

  void StateChanged() override;
  void NavigateTree(const std::string& dir, bool expand) override;
  void Closed() override;

 private:
  static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleForm(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandlePanel(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void OnCommand(UINT id, UINT code, HWND control);
  void ShowLanguageMenu();
  void BuildPageControls();
  void SyncButton(HWND button, const WizardButton& state, const std::u16string& caption, std::u16string& shown);
  // The keyboard: Tab in reading order, Enter and Escape; true when handled.
  bool HandleKey(const MSG& msg);
  std::vector<HWND> TabStops() const;
  void MoveFocus(bool forward);
  HWND DefaultButton() const;
  // Focus on a control that shows it, after the page or the buttons changed.
  void KeepFocusVisible();
  // Places and fonts for dpi_; again when the window moves to a monitor
  // with another scale.
  void LayOut();
  void ApplyDpi(int dpi, const RECT* suggested);
  // The colours for the system's look, again when the user changes it.
  void ApplyLook();
  PageControlView* ViewOf(HWND hwnd);
  // The model's control a page control's window shows; nullptr for others.
  const LayoutControl* ControlOf(HWND hwnd) const;
  int Scale(int v) const { return MulDiv(v, dpi_, 96); }

  WizardModel& model_;
  std::function<void(HWND)> show_debug_;
  HWND hwnd_ = nullptr;
  HWND panel_ = nullptr;
  HWND bevel_ = nullptr;
  HWND last_focus_ = nullptr;  // the control that had focus when the form was left
  HWND back_ = nullptr, next_ = nullptr, cancel_ = nullptr, language_ = nullptr, debug_ = nullptr;
  HFONT font_ = nullptr;
  HIMAGELIST glyph_ = nullptr;
  int dpi_ = 96;
  Palette palette_;
  HBRUSH panel_brush_ = nullptr, face_brush_ = nullptr, field_brush_ = nullptr;
  std::vector<std::unique_ptr<PageControlView>> views_;  // ZOrder() order
  std::vector<ControlRef> refs_;
  std::u16string back_text_, next_text_, cancel_text_, language_text_;
  int32_t shown_page_ = -1;
  bool syncing_ = false;  // the model's own changes are not forwarded back
  bool built_ = false;
  bool closed_ = false;
};

// The DPI of the monitor the form will appear on.
int MonitorDpi();
// The DPI of the monitor `hwnd` is on (the system's before Windows 10).
int WindowDpi(HWND hwnd);

}  // namespace ferry
