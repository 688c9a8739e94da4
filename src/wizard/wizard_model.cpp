#include "wizard/wizard_model.h"

#include <algorithm>
#include <exception>

#include "base/path_text.h"
#include "base/text.h"
#include "engine/path_safety.h"
#include "engine/setup_context.h"
#include "engine/startup.h"
#include "base/text_helpers.h"
#include "formats/languages/text_ids.h"
#include "formats/layout/display_text.h"

namespace ferry {

namespace {

LayoutEnv MakeLayoutEnv(const WizardData& data, WizardHost& host, Dialogs& dialogs) {
  LayoutEnv env;
  env.LoadEntry = [&host](std::string_view name) { return host.LoadEntry(name); };
  env.MissingEntry = [&dialogs](const std::string& text, const std::string& caption) {
    dialogs.Show(text, caption, DialogButtons::kOk, DialogIcon::kNone);
  };
  env.Languages = &data.Languages;
  env.Macros = &data.Macros;
  return env;
}

std::string Utf16Prefix(std::u16string_view text, size_t n) {
  return CodePageFromUtf16(text.substr(0, std::min(n, text.size())));
}

}  // namespace

bool DriveTakesInstall(DriveType type) {
  return type != DriveType::kUnknown && type != DriveType::kNoRootDir && type != DriveType::kCdRom &&
         type != DriveType::kRamDisk;
}

std::u16string InstallFolderRefusal(std::u16string_view folder) {
  std::optional<std::string> held = CodePageFromUtf16Exactly(folder);
  if (!held) return FolderNotInCodePageMessage(folder);
  if (IsDriveRoot(*held)) return FolderIsDriveRootMessage(folder);
  return {};
}

WizardData WizardDataOf(SetupContext& context) {
  return WizardData{context.SetupInfo,     context.Languages,      context.TextMacros,
                    context.SpaceRequired, context.SpaceAvailable, context.SpaceAvailableText,
                    context.ScopeChoiceOpen ? &context.InstallForUser : nullptr};
}

WizardModel::WizardModel(WizardData data, WizardHost& host, DriveInfo& drives, Dialogs& dialogs)
    : data_(data),
      host_(host),
      drives_(drives),
      dialogs_(dialogs),
      pages_(MakeLayoutEnv(data, host, dialogs), buttons_) {}

void WizardModel::SetPagesUp() {
  SetupInfoRecord& info = data_.SetupInfo;
  app_title_ = info.IsUninstaller == 1 ? CodePageToUtf16(info.ShortTitle) + u" " + Text(kTextUninstallTitleWord)
                                       : CodePageToUtf16(info.SetupTitle);
  caption_ = u" " + app_title_;

  pages_.LoadPageSet("Pages.txt");
  FindNamedControls();

  if (data_.InstallForUser) {
    stored_install_dir_ = info.InstallDir;
    if (*data_.InstallForUser) info.InstallDir = UserInstallDir(stored_install_dir_);
    ShowScopeChoice(*data_.InstallForUser);
  }
  info.InstallDir = host_.ExpandPathVars(info.InstallDir);
  if (install_dir_tree_) NavigateTree(info.InstallDir, false);
  if (LayoutControl* edit = Named(install_dir_edit_)) {
    // Filled before the change handler is attached: no change runs now.
    edit->Text = CodePageToUtf16(host_.ExpandPathVars(info.InstallDir));
    edit_handler_attached_ = true;
  }

  buttons_.Back.Caption = Text(kTextBackButton);
  buttons_.Next.Caption = Text(kTextNextButton);
  buttons_.Cancel.Caption = Text(kTextCancelButton);
  SetupLanguages();
  if (PassesOver(pages_.CurrentPage())) pages_.ShowPage(pages_.CurrentPage() + 1);
  Notify();
}

void WizardModel::FindNamedControls() {
  struct Wanted {
    const char* Name;
    std::optional<ControlRef>* Ref;
  };
  const Wanted wanted[] = {
      {"patching_statuslabel", &status_label_},
      {"patching_progressbar", &progress_bar_},
      {"finishtext", &finish_text_},
      {"installdir_edit", &install_dir_edit_},
      {"installdir_shelltreeview", &install_dir_tree_},
      {"spaceavalible", &space_label_},
      {"scope_user", &scope_user_},
      {"scope_machine", &scope_machine_},
  };
  for (const Wanted& w : wanted) w.Ref->reset();
  for (size_t p = 0; p < pages_.PageCount(); ++p) {
    const auto& controls = pages_.Page(p).Controls();
    for (size_t c = 0; c < controls.size(); ++c)
      for (const Wanted& w : wanted)
        if (EqualsNoCase(controls[c].Name, w.Name)) *w.Ref = ControlRef{p, c};
  }
}

const LayoutControl* WizardModel::Named(const std::optional<ControlRef>& ref) const {
  return ref ? pages_.Control(*ref) : nullptr;
}

LayoutControl* WizardModel::Named(const std::optional<ControlRef>& ref) {
  return ref ? pages_.Control(*ref) : nullptr;
}

bool WizardModel::Next() {
  if (closed_ || terminated_ || !buttons_.Next.Visible || !buttons_.Next.Enabled) return false;
  if (!InstallDirHeld()) return false;
  if (!LeaveScopePage()) return true;
  int32_t next = pages_.CurrentPage() + 1;
  while (PassesOver(next)) ++next;
  pages_.ShowPage(next);
  ArriveOnPage();
  Notify();
  return true;
}

bool WizardModel::Back() {
  if (closed_ || terminated_ || !buttons_.Back.Visible || !buttons_.Back.Enabled) return false;
  int32_t back = pages_.CurrentPage() - 1;
  while (PassesOver(back)) --back;
  if (back < 0) return false;
  pages_.ShowPage(back);
  Notify();
  return true;
}

// A Scope page when the choice is not the wizard's.
bool WizardModel::PassesOver(int32_t page) const {
  if (page < 0 || static_cast<size_t>(page) >= pages_.PageCount()) return false;
  return pages_.Page(static_cast<size_t>(page)).PageType == PageKind::Scope && !data_.InstallForUser;
}

void WizardModel::ShowScopeChoice(bool forUser) {
  if (LayoutControl* user = Named(scope_user_)) user->Checked = forUser;
  if (LayoutControl* machine = Named(scope_machine_)) machine->Checked = !forUser;
}

void WizardModel::ScopeChosen(bool forUser) {
  if (!data_.InstallForUser || pages_.CurrentPageType() != PageKind::Scope || working_ || closed_) return;
  ShowScopeChoice(forUser);
  Notify();
}

// Leaving a Scope page: the folder follows the choice (what was typed for
// the other one is dropped), and everyone without the rights closes the
// wizard for the elevated copy. False when the wizard closed.
bool WizardModel::LeaveScopePage() {
  if (!data_.InstallForUser || pages_.CurrentPageType() != PageKind::Scope) return true;
  const LayoutControl* machine = Named(scope_machine_);
  const bool forUser = !(machine && machine->Checked);
  if (!forUser && host_.MachineNeedsElevation()) {
    elevation_requested_ = true;
    Close();
    if (observer_) observer_->Closed();
    return false;
  }
  if (forUser == *data_.InstallForUser) return true;
  *data_.InstallForUser = forUser;
  data_.SetupInfo.InstallDir =
      host_.ExpandPathVars(forUser ? UserInstallDir(stored_install_dir_) : stored_install_dir_);
  install_dir_shown_ = false;
  if (install_dir_tree_) NavigateTree(data_.SetupInfo.InstallDir, false);
  return true;
}

void WizardModel::ArriveOnPage() {
  std::optional<PageKind> type = pages_.CurrentPageType();
  if (!type) return;
  switch (*type) {
    case PageKind::InstallDir:
      ArriveOnInstallDir();
      break;
    case PageKind::Patch:
      CheckSpace();
      if (LayoutControl* label = Named(space_label_))
        label->Text = ResolveDisplayText(data_.Languages, data_.Macros, u"<LANG7>");
      break;
    case PageKind::Patching:
      RunPageWork(true);
      break;
    case PageKind::Uninstall:
      RunPageWork(false);
      break;
    case PageKind::Finish:
      RequestClose();
      break;
    case PageKind::Welcome:
    case PageKind::ChangeLog:
    case PageKind::MainLayout:
    case PageKind::Scope:
      break;
  }
}

void WizardModel::ArriveOnInstallDir() {
  // The edit is filled from InstallDir only the first time; coming back
  // keeps what the user typed.
  if (!install_dir_shown_) {
    install_dir_shown_ = true;
    SetEditText(CodePageToUtf16(data_.SetupInfo.InstallDir));
  }
  InstallDirEditChange();
}

// Leaving the install-directory page: a folder the code page cannot hold
// (it becomes 8-bit) or a drive root is refused and the page stays.
bool WizardModel::InstallDirHeld() {
  const LayoutControl* edit = Named(install_dir_edit_);
  if (!edit || pages_.CurrentPageType() != PageKind::InstallDir) return true;
  const std::u16string refusal = InstallFolderRefusal(edit->Text);
  if (refusal.empty()) return true;
  dialogs_.ShowUnicode(refusal, u"Error", DialogButtons::kOk, DialogIcon::kError);
  return false;
}

void WizardModel::CheckSpace() {
  // Signed on purpose: a drive that cannot be read reports -1 free bytes,
  // which must count as too little.
  if (static_cast<int64_t>(data_.SpaceAvailable) < static_cast<int64_t>(data_.SpaceRequired))
    buttons_.Next.Enabled = false;
}

void WizardModel::RunPageWork(bool install) {
  // The last stop before anything is written, for a folder no page let the
  // user change (a setup without an install-directory page, given /D=).
  const std::u16string refusal =
      install ? InstallFolderRefusal(CodePageToUtf16(data_.SetupInfo.InstallDir)) : std::u16string();
  if (!refusal.empty()) {
    dialogs_.ShowUnicode(refusal, u"Error", DialogButtons::kOk, DialogIcon::kError);
    pages_.ShowPage(pages_.CurrentPage() - 1);
    return;
  }
  try {
    SetWorkingState(true);
    if (install) {
      uint32_t n = host_.PayloadEntryCount();
      SetStatusText(u"Status: 0 of " + CodePageToUtf16(std::to_string(n)) + u" files extracted");
      SetGaugePosition(0);
      SetGaugeMax(static_cast<int32_t>(n));
      host_.AddInstallDirectory(data_.SetupInfo.InstallDir);
      Notify();
      host_.RunInstall();
    } else {
      Notify();
      host_.RunUninstall();
    }
    pages_.ShowPage(pages_.CurrentPage() + 1);
    SetWorkingState(false);
  } catch (const std::exception& e) {
    SetWorkingState(false);
    terminated_ = true;
    host_.ReportFatal(e.what());
  }
}

bool WizardModel::RequestClose() {
  if (closed_) return true;
  if (working_) return false;
  bool onFinish = pages_.CurrentPageType() == PageKind::Finish;
  if (!onFinish) {
    DialogAnswer answer =
        dialogs_.ShowUnicode(Text(kTextQuitQuestion), Text(kTextQuitCaption), DialogButtons::kYesNo, DialogIcon::kNone);
    if (answer != DialogAnswer::kYes) return false;
  }
  Close();
  if (onFinish && data_.SetupInfo.IsUninstaller == 1) host_.RunFinaliser();
  if (observer_) observer_->Closed();
  return true;
}

void WizardModel::Close() {
  closed_ = true;
  host_.StopSetupThread();
}

void WizardModel::InstallDirEditChanged(std::u16string_view text) {
  LayoutControl* edit = Named(install_dir_edit_);
  if (!edit) return;
  edit->Text = std::u16string(text);
  if (edit_handler_attached_) InstallDirEditChange();
  Notify();
}

void WizardModel::SetEditText(std::u16string_view text) {
  LayoutControl* edit = Named(install_dir_edit_);
  if (!edit || edit->Text == text) return;  // an unchanged text raises no change
  edit->Text = std::u16string(text);
  if (edit_handler_attached_) InstallDirEditChange();
}

void WizardModel::InstallDirEditChange() {
  LayoutControl* edit = Named(install_dir_edit_);
  if (!edit) return;
  if (pages_.CurrentPageType() == PageKind::InstallDir) {
    if (!DriveTakesInstall(drives_.GetDriveType(Utf16Prefix(edit->Text, 3)))) {
      buttons_.Next.Enabled = false;
      return;
    }
    buttons_.Next.Enabled = true;
    std::string& installDir = data_.SetupInfo.InstallDir;
    if (install_dir_shown_) installDir = IncludeTrailingBackslash(CodePageFromUtf16(edit->Text));
    char drive = installDir.empty() ? '\0' : installDir[0];
    if (drive >= 'a' && drive <= 'z') drive = static_cast<char>(drive - 'a' + 'A');
    if (drive >= 'A' && drive <= 'Z') {
      int64_t freeBytes = drives_.DiskFree(drive - 64);
      data_.SpaceAvailable = static_cast<uint64_t>(freeBytes);
      data_.SpaceAvailableText = FormatByteSize(data_.SpaceAvailable);
    }
  }
  if (install_dir_tree_) NavigateTree(CodePageFromUtf16(edit->Text), true);
}

void WizardModel::TreeSelectionChanged(std::u16string_view path) {
  if (!Named(install_dir_edit_) || pages_.CurrentPageType() != PageKind::InstallDir) return;
  if (!DriveTakesInstall(drives_.GetDriveType(Utf16Prefix(path, 3)))) return;
  SetEditText(path);
  Notify();
}

void WizardModel::NavigateTree(std::string path, bool expand) {
  if (!path.empty() && path.back() == '\\') path.pop_back();
  if (!drives_.DirectoryExists(path)) {
    do {
      path = ParentFolderOf(path, "\\");
    } while (!path.empty() && path.size() > 2 && !drives_.DirectoryExists(path));
  }
  if (path.empty() || !drives_.DirectoryExists(path)) return;
  tree_target_ = path + "\\";
  if (observer_) observer_->NavigateTree(tree_target_, expand);
}

void WizardModel::SelectLanguage(int index) {
  if (index < 0 || index >= data_.Languages.Count() || working_ || closed_) return;
  data_.Languages.Current = index;
  buttons_.Language.Caption = data_.Languages.Languages[index]->Name;
  buttons_.Back.Caption = Text(kTextBackButton);
  buttons_.Next.Caption = Text(kTextNextButton);
  buttons_.Cancel.Caption = Text(kTextCancelButton);
  pages_.ShowPage(pages_.CurrentPage());
  pages_.RefreshTexts();
  // Re-showing the page enables Next again; the page's own rule decides.
  if (pages_.CurrentPageType() == PageKind::InstallDir) InstallDirEditChange();
  if (pages_.CurrentPageType() == PageKind::Patch) CheckSpace();
  Notify();
}

void WizardModel::SetupLanguages() {
  const LanguageTexts* current = data_.Languages.CurrentLanguage();
  buttons_.Language.Caption = current ? current->Name : std::u16string();
  if (data_.Languages.Count() <= 1) buttons_.Language.Visible = false;
}

std::vector<LanguageMenuItem> WizardModel::LanguageMenu() const {
  std::vector<LanguageMenuItem> items;
  for (int i = 0; i < data_.Languages.Count(); ++i)
    items.push_back({data_.Languages.Languages[i]->Name, i == data_.Languages.Current});
  return items;
}

void WizardModel::SetStatusText(std::u16string_view text) {
  if (LayoutControl* label = Named(status_label_)) label->Text = std::u16string(text);
  Notify();
}

void WizardModel::SetMessageText(std::u16string_view text) {
  if (LayoutControl* label = Named(finish_text_)) label->Text = std::u16string(text);
  Notify();
}

void WizardModel::SetGaugePosition(int32_t position) {
  if (LayoutControl* gauge = Named(progress_bar_)) gauge->Position = position;
  Notify();
}

void WizardModel::SetGaugeMax(int32_t max) {
  if (LayoutControl* gauge = Named(progress_bar_)) gauge->Max = max;
  Notify();
}

void WizardModel::SetWorkingState(bool on) { working_ = on; }

void WizardModel::Notify() {
  if (observer_) observer_->StateChanged();
}

}  // namespace ferry
