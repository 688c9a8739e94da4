// The wizard without a window: pages, buttons, titles, the install-directory
// and free-space rules, the work pages and closing. Every rule lives here;
// the Win32 window only reflects this state, and a silent run drives the
// same object with no window at all.
//
// Binding a view:
//   - After SetPagesUp, create one control per LayoutControl of every page
//     (PageSet().Page(i).Controls()), stacked in PageSet().ZOrder() (backmost
//     first), on a panel coloured PanelColour(); window caption Caption(),
//     application title ApplicationTitle().
//   - On StateChanged(), re-read the buttons (Buttons(): visible, enabled,
//     caption) and each control's visible, enabled, text and gauge position.
//     The model changes state only inside the calls below (and inside the
//     host's RunInstall/RunUninstall through the progress sinks), so that is
//     the only time a view has to refresh.
//   - Forward: Next, Back and Cancel clicks; the window's close box as
//     RequestClose() (refuse the close when it returns false); the user's
//     typing in the "installdir_edit" control as InstallDirEditChanged();
//     the folder tree's new selection as TreeSelectionChanged(); a language
//     menu pick as SelectLanguage(). Changes the model itself makes to the
//     edit or tree must not be forwarded back.
//   - NavigateTree() asks the view to select a directory in the folder tree
//     (and, with expand, to open the nodes along its path); TreeTarget()
//     keeps the last request for a view created after SetPagesUp. The tree
//     has to be visible for a selection to take; a view that shows it for
//     that moment restores the model's visibility afterwards.
//   - Closed() follows the last close; the view destroys its window.
//
// All calls belong to the main thread. The setup thread's progress reaches
// SetStatusText / SetMessageText / SetGaugePosition through ProgressHandover
// (progress_handover.h), on the main thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/dialogs.h"
#include "formats/setup/setup_info.h"
#include "formats/setup/text_macros.h"
#include "wizard/drive_info.h"
#include "formats/languages/languages.h"
#include "formats/layout/page_list.h"

namespace ferry {

struct SetupContext;

// What the wizard needs from the program around it.
class WizardHost {
 public:
  virtual ~WizardHost() = default;
  // Entry of group 0 by name (compared without case); none when missing.
  virtual std::optional<std::vector<uint8_t>> LoadEntry(std::string_view name) = 0;
  // Number of payload entries of the archive (group not 0).
  virtual uint32_t PayloadEntryCount() = 0;
  virtual std::string ExpandPathVars(std::string_view text) = 0;
  // Install log: a directory an uninstall removes.
  virtual void AddInstallDirectory(const std::string& dir) = 0;
  // Sets the current line to -1, raises the setup thread's run request and
  // returns once the thread has cleared it, keeping the main thread's
  // messages flowing and the run's progress shown meanwhile (the setup
  // thread's message boxes need the main thread's messages).
  virtual void RunInstall() = 0;
  // The uninstall work (files, directories, registry values, registration,
  // install log), reporting through the model's progress sinks. The model
  // holds Working on around it and shows the next page afterwards.
  virtual void RunUninstall() = 0;
  // Stops the setup thread and waits for its end.
  virtual void StopSetupThread() = 0;
  // Writes and starts the uninstaller's finishing program.
  virtual void RunFinaliser() = 0;
  // An install for everyone needs the rights this process lacks: the wizard
  // closes and an elevated copy does the run (elevated_run.h).
  virtual bool MachineNeedsElevation() { return false; }
  // An error escaped the work of a page: error report without stage name,
  // then the program ends.
  virtual void ReportFatal(const std::string& message) = 0;
};

class WizardObserver {
 public:
  virtual ~WizardObserver() = default;
  virtual void StateChanged() {}
  virtual void NavigateTree(const std::string& dir, bool expand) {}
  virtual void Closed() {}
};

// The setup data the wizard reads and changes.
struct WizardData {
  SetupInfoRecord& SetupInfo;  // titles, IsUninstaller; InstallDir is changed by the wizard
  LanguageList& Languages;   // SelectLanguage changes Current
  const TextMacroTable& Macros;
  const uint64_t& SpaceRequired;
  uint64_t& SpaceAvailable;  // signed in comparisons: -1 means "unknown"
  std::string& SpaceAvailableText;
  // Set when the Scope page picks whom the run installs for (true: the
  // user); none: the choice is made, and a Scope page is passed over.
  bool* InstallForUser = nullptr;
};

// Why `folder` (path variables expanded) cannot be the install folder, or
// "" when it can: the system code page cannot hold it, or it is the root of
// a drive or share (IsDriveRoot).
std::u16string InstallFolderRefusal(std::u16string_view folder);

// The wizard data of the process-wide objects.
WizardData WizardDataOf(SetupContext& context);

struct LanguageMenuItem {
  std::u16string Caption;
  bool Checked = false;
};

class WizardModel {
 public:
  WizardModel(WizardData data, WizardHost& host, DriveInfo& drives, Dialogs& dialogs);

  void SetObserver(WizardObserver* observer) { observer_ = observer; }

  // Once, after start-up loaded setup information and languages: titles,
  // "Pages.txt" and its layouts, the six named controls, the install
  // directory, button captions, the language button. Layout errors raise
  // SetupError (a start-up error).
  void SetPagesUp();

  // Next button: the following page, then what its type does on arrival.
  // False when the button is hidden or disabled (nothing happens).
  bool Next();
  // Back button; false when hidden or disabled.
  bool Back();
  // Cancel button: the same as closing the window.
  bool Cancel() { return RequestClose(); }
  // Refused silently while the work runs; elsewhere but on a Finish page
  // asks with kTextQuitQuestion (Yes/No). True when the wizard closed.
  bool RequestClose();

  // A Scope page's radio button was clicked.
  void ScopeChosen(bool forUser);
  // The Scope page's pick needs rights the process lacks: the wizard closed
  // without running, and the host starts the elevated copy.
  bool ElevationRequested() const { return elevation_requested_; }

  void InstallDirEditChanged(std::u16string_view text);
  void TreeSelectionChanged(std::u16string_view path);
  void SelectLanguage(int index);
  std::vector<LanguageMenuItem> LanguageMenu() const;

  // Progress sinks; each does nothing while its control is absent.
  void SetStatusText(std::u16string_view text);
  void SetMessageText(std::u16string_view text);
  void SetGaugePosition(int32_t position);
  void SetGaugeMax(int32_t max);

  void SetWorkingState(bool on);

  const WizardButtons& Buttons() const { return buttons_; }
  const PageList& PageSet() const { return pages_; }
  int32_t CurrentPage() const { return pages_.CurrentPage(); }
  std::optional<PageKind> CurrentPageType() const { return pages_.CurrentPageType(); }
  const std::u16string& ApplicationTitle() const { return app_title_; }
  const std::u16string& Caption() const { return caption_; }
  uint32_t PanelColour() const { return pages_.Colour(); }
  bool InstallDirShown() const { return install_dir_shown_; }
  bool Working() const { return working_; }
  bool Closed() const { return closed_; }
  // A page's work failed and the host was told to end the program.
  bool Terminated() const { return terminated_; }
  // The last folder the tree was asked to select, for a view that attaches
  // after SetPagesUp; empty before any request.
  const std::string& TreeTarget() const { return tree_target_; }

  // The six controls found by name; nullptr when no layout has one.
  const LayoutControl* PatchingStatusLabel() const { return Named(status_label_); }
  const LayoutControl* PatchingProgressBar() const { return Named(progress_bar_); }
  const LayoutControl* FinishTextLabel() const { return Named(finish_text_); }
  const LayoutControl* InstallDirEdit() const { return Named(install_dir_edit_); }
  const LayoutControl* InstallDirTree() const { return Named(install_dir_tree_); }
  const LayoutControl* SpaceAvailableLabel() const { return Named(space_label_); }
  const LayoutControl* ScopeUserChoice() const { return Named(scope_user_); }
  const LayoutControl* ScopeMachineChoice() const { return Named(scope_machine_); }

 private:
  void FindNamedControls();
  const LayoutControl* Named(const std::optional<ControlRef>& ref) const;
  LayoutControl* Named(const std::optional<ControlRef>& ref);
  void ArriveOnPage();
  void ArriveOnInstallDir();
  bool PassesOver(int32_t page) const;
  void ShowScopeChoice(bool forUser);
  bool LeaveScopePage();
  void Close();
  bool InstallDirHeld();
  void CheckSpace();
  void RunPageWork(bool install);
  void InstallDirEditChange();
  void SetEditText(std::u16string_view text);
  void NavigateTree(std::string path, bool expand);
  void SetupLanguages();
  void Notify();
  std::u16string Text(int number) const { return data_.Languages.GetText(number); }

  WizardData data_;
  WizardHost& host_;
  DriveInfo& drives_;
  Dialogs& dialogs_;
  WizardObserver* observer_ = nullptr;

  WizardButtons buttons_;
  PageList pages_;
  std::u16string app_title_;
  std::u16string caption_;
  bool install_dir_shown_ = false;
  bool working_ = false;
  bool closed_ = false;
  bool terminated_ = false;
  bool edit_handler_attached_ = false;
  bool elevation_requested_ = false;
  std::string stored_install_dir_;  // before the Scope page moved it
  std::string tree_target_;

  std::optional<ControlRef> status_label_, progress_bar_, finish_text_, install_dir_edit_,
      install_dir_tree_, space_label_, scope_user_, scope_machine_;
};

}  // namespace ferry
