#include "engine/startup.h"

#include "engine/run_journal/run_journal.h"
#include "base/file_system.h"

#include "formats/pak/pak_reader.h"
#include "formats/setup/carried_uninstaller.h"
#include "base/dialogs.h"
#include "base/setup_error.h"
#include "base/system_path.h"
#include "base/text.h"
#include "engine/command_list.h"
#include "engine/product_identity.h"
#include "engine/setup_context.h"
#include "engine/setup_name.h"
#include "base/text_helpers.h"
#include "formats/languages/text_ids.h"
#include "formats/layout/display_text.h"
#include "formats/layout/page_list.h"

namespace ferry {

StartupState::StartupState() = default;
StartupState::~StartupState() = default;
StartupState::StartupState(StartupState&&) noexcept = default;
StartupState& StartupState::operator=(StartupState&&) noexcept = default;

// ---- Texts and decisions ---------------------------------------------------

std::string VerificationFailedMessage(size_t index, std::string_view name) {
  return "Error: Verification Failed. Setup is corrupt.\rID: " + std::to_string(index) + " Filename: " +
         std::string(name);
}

std::string DecompSizeMessage(std::string_view name, uint64_t length, uint32_t origSize) {
  return std::string(name) + "\r\r" + "Error: DecompSize - " + std::to_string(length) + " OrigSize - " +
         std::to_string(origSize);
}

std::string RenamedSetupMessage(std::string_view expected, std::string_view found) {
  return "Error: Setup`s filename has been renamed\r\rExpected: \r" + std::string(expected) + "\r\r" + "Found: " +
         "\r" + std::string(found);
}

std::string InstallInfoMissingMessage(std::string_view sideFile) {
  return "The install information \"" + std::string(sideFile) +
         "\" beside the uninstaller is missing or damaged. Nothing was removed.";
}

std::string VerifyStatusText(size_t done, size_t count) {
  return "Status: " + std::to_string(done) + " out of " + std::to_string(count) + " files verifyed";
}

std::string FileNamePart(std::string_view path) {
  size_t slash = path.find_last_of("\\/");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool OwnNameMatches(std::string_view ownPath, std::string_view setupExeName) {
  return MatchesSetupName(AsciiLowerCopy(FileNamePart(ownPath)), AsciiLowerCopy(FileNamePart(setupExeName)));
}

uint64_t PayloadSpace(const PakReader& pak, const std::vector<uint8_t>& groupKinds) {
  uint64_t total = 0;
  for (const PakFile& e : pak.Files()) {
    if (e.Group == 0 || e.Group >= groupKinds.size()) continue;
    bool stored = e.CompSize == 0 && e.OrigSize > 0;
    total += groupKinds[e.Group] == 0 || stored ? e.OrigSize : e.CompSize;
  }
  return total;
}

std::string ScopeContradictsMessage(std::string_view title, bool installedForUser) {
  return "\"" + std::string(title) + "\" is installed " +
         (installedForUser ? "for one user (below HKEY_CURRENT_USER), not for everyone on this computer. Run the "
                             "setup without /ALLUSERS to update it there, or uninstall it first."
                           : "for everyone on this computer (below HKEY_LOCAL_MACHINE), not for one user. Run the "
                             "setup without /CURRENTUSER to update it there, or uninstall it first.");
}

std::string UserInstallDir(std::string_view installDir) {
  const size_t length = MatchPathVar(installDir);
  if (length == 0) return std::string(installDir);
  const std::string name = AsciiLowerCopy(installDir.substr(0, length));
  if (name != "$programfiles" && name != "$programfiles32" && name != "$programfiles64") return std::string(installDir);
  return "$USERPROGRAMFILES" + std::string(installDir.substr(length));
}

// ---- The sequence ---------------------------------------------------------

namespace {

// A start-up failure whose message has been shown and recorded: the
// program ends.
struct StartupFailed {};

class Sequence {
 public:
  Sequence(SetupContext& ctx, const StubOptions& options, StartupServices s, StartupState& state)
      : ctx_(ctx), options_(options), s_(s), state_(state) {}

  // The whole of start-up, in the order the user and the system see it.
  void Run() {
    state_.SystemLangId = s_.Env.DefaultLangId();
    ShowLoadingHeader();
    OpenArchive();
    VerifyEntries();
    ctx_.Folders.CdDrive = s_.Env.FindCdDrive();
    ReadSetupInformation();
    // Before the scope: its question comes in the setup's language.
    LoadLanguages();
    DecideScope();
    if (Installing()) {
      LoadCommandLines();
    } else {
      LoadInstallLog();
    }
    WorkOutSpaceRequired();
    ReadSystemFolders();
    if (Installing()) CheckOwnName();
    if (Installing()) CheckInstallDir();
  }

 private:
  [[noreturn]] void Fail(std::string_view message, std::string_view caption) {
    s_.Dialog.Show(message, caption, DialogButtons::kOk, DialogIcon::kError);
    ctx_.Record.Refuse(message);
    throw StartupFailed{};
  }
  [[noreturn]] void Fail(std::u16string_view message, std::string_view caption) {
    s_.Dialog.ShowUnicode(message, CodePageToUtf16(caption), DialogButtons::kOk, DialogIcon::kError);
    ctx_.Record.Refuse(CodePageFromUtf16(message));
    throw StartupFailed{};
  }
  bool Installing() const { return ctx_.SetupInfo.IsUninstaller != 1; }

  void ShowLoadingHeader();
  void OpenArchive();
  void VerifyEntries();
  void CheckEveryEntry();
  void ReadSetupInformation();
  void DecideScope();
  bool DecideEitherScope();
  bool AskForEveryone();
  std::optional<bool> InstalledForUser();
  bool UseInstalledFolder();
  void ReadInstallInfoBeside();
  void LoadCommandLines();
  void LoadInstallLog();
  void WorkOutSpaceRequired();
  void ReadSystemFolders();
  void CheckOwnName();
  void LoadLanguages();
  void CheckInstallDir();
  void SetSpaceAvailable();

  SetupContext& ctx_;
  const StubOptions& options_;
  StartupServices s_;
  StartupState& state_;
};

void Sequence::ShowLoadingHeader() {
  s_.View.SetStatus("Loading Header");
  s_.View.SetProgress(0, 100);
  s_.View.Refresh();
}

// The program's own archive, or the one the first argument names when that
// file exists.
void Sequence::OpenArchive() {
  state_.OwnPath = s_.Env.OwnProgramPath();
  state_.ArchivePath = state_.OwnPath;
  state_.ArchiveFromArgument = false;
  const NativePath argument = PathFromUtf8(options_.ArchiveArgument);
  if (!options_.ArchiveArgument.empty() && s_.Env.FileExists(argument)) {
    state_.ArchivePath = argument;
    state_.ArchiveFromArgument = true;
  }
  std::unique_ptr<RandomAccessFile> file = s_.Env.OpenArchive(state_.ArchivePath);
  if (!file) file = std::make_unique<MemoryFile>();  // blank trailer: the magic check fails
  state_.Pak = std::make_unique<PakReader>(std::move(file));
  ctx_.Pak = state_.Pak.get();
  if (!state_.Pak->HasMagic()) Fail(kMsgInvalidHeader, kCaptionError);
}

// An error while verifying is reported and start-up goes on; a damaged
// entry ends it.
void Sequence::VerifyEntries() {
  try {
    CheckEveryEntry();
  } catch (const SetupError& e) {
    s_.View.HoldAndClose(0);
    s_.Reporter.Report(e.what(), "Verification Stage");
  }
}

void Sequence::CheckEveryEntry() {
  PakReader& pak = *state_.Pak;
  size_t count = pak.EntryCount();
  s_.View.SetStatus(VerifyStatusText(0, count));
  s_.View.SetProgress(0, static_cast<uint32_t>(count));
  s_.View.Refresh();
  // Entries are checked on several threads; the count still moves one by one.
  std::optional<size_t> damaged = pak.VerifyEntries(ReaderThreads(), [&](size_t i) {
    s_.View.SetStatus(VerifyStatusText(i + 1, count));
    s_.View.SetProgress(static_cast<uint32_t>(i + 1), static_cast<uint32_t>(count));
    s_.View.Refresh();
  });
  if (damaged) {
    const PakFile& e = *pak.Entry(*damaged);
    // An entry that unpacked to another length is named with both lengths first.
    if (const std::optional<uint64_t> length = pak.LastVerdict().WrongLength)
      s_.Dialog.Show(DecompSizeMessage(e.Name, *length, e.OrigSize), kCaptionError, DialogButtons::kOk,
                     DialogIcon::kNone);
    Fail(VerificationFailedMessage(*damaged, e.Name), kCaptionVerificationError);
  }
  s_.View.HoldAndClose(kVerifyHoldMs);
}

void Sequence::ReadSetupInformation() {
  std::optional<std::vector<uint8_t>> info = state_.Pak->LoadByName("SetupInfo", 0);
  if (!info) Fail(kMsgSetupInfoMissing, kCaptionVerificationError);
  ctx_.SetupInfo.ReadFromBuffer(*info);
  ctx_.Product = ProductInfoIn(*state_.Pak);
  if (!Installing() && state_.Pak->LoadByName(kInstallInfoBesideEntry, 0)) ReadInstallInfoBeside();
}

// A signed uninstaller's archive holds the setup information as compiled;
// the install's own (its folder, the registration it made) lies in the
// side file beside it.
void Sequence::ReadInstallInfoBeside() {
  const NativePath side = UninstallSideFileOf(state_.ArchivePath);
  std::unique_ptr<RandomAccessFile> file = s_.Env.FileExists(side) ? s_.Env.OpenArchive(side) : nullptr;
  if (!file) Fail(InstallInfoMissingMessage(PathText(side)), kCaptionSetupError);
  PakReader records(std::move(file));
  std::optional<std::vector<uint8_t>> info = records.LoadByName("SetupInfo", 0);
  SetupInfoFile record;
  if (info) record.ReadFromBuffer(*info);
  // Only an uninstaller's record: a setup's would start an install.
  if (!info || record.IsUninstaller != 1) Fail(InstallInfoMissingMessage(PathText(side)), kCaptionSetupError);
  ctx_.SetupInfo.Info() = record.Info();
  ctx_.Product = ProductInfoIn(records);
}

// For "either": whether the product is installed for the user (true) or
// the machine (false); none when it is not installed.
std::optional<bool> Sequence::InstalledForUser() {
  ProductIdentity identity = IdentityOf(ctx_);
  auto read = [this](int root, const std::string& key, const std::string& name) {
    return s_.Env.ReadRegistryString(root, key, name);
  };
  for (bool forUser : {true, false}) {
    identity.ForUser = forUser;
    if (InstalledFolder(identity, read)) return forUser;
  }
  return std::nullopt;
}

// Who the run installs for: the setup's scope, or for "either" what
// DecideEitherScope says. An uninstaller's record says where its setup
// installed.
void Sequence::DecideScope() {
  const std::optional<ProductInformation>& product = ctx_.Product;
  const InstallScope scope = product ? product->Scope : InstallScope::kMachine;
  ctx_.InstallForUser = scope == InstallScope::kEither ? DecideEitherScope() : scope == InstallScope::kUser;
  // An open choice moves the folder when the wizard's page is left.
  if (ctx_.InstallForUser && Installing() && !ctx_.ScopeChoiceOpen)
    ctx_.SetupInfo.InstallDir = UserInstallDir(ctx_.SetupInfo.InstallDir);
  // A machine install (or uninstall) started without the rights, as an
  // "either" setup and its uninstaller are: once, not again from the
  // elevated copy should the system not elevate it.
  state_.NeedsElevation = !ctx_.InstallForUser && !s_.Env.IsElevated() && !options_.ElevatedCopy;
  if (state_.NeedsElevation) throw StartupFailed{};
}

// The switch, where the product is installed (a switch saying otherwise is
// refused: the run would leave a second registration), the wizard's Scope
// page (left open here, "for me only" shown first), or (silent) the rights
// the process has. True: for the user.
bool Sequence::DecideEitherScope() {
  const std::optional<bool> installed = InstalledForUser();
  if (options_.ForAllUsers) {
    const bool forUser = !*options_.ForAllUsers;
    if (installed && *installed != forUser) {
      const std::string message = ScopeContradictsMessage(ctx_.SetupInfo.ShortTitle, *installed);
      s_.Dialog.Show(message, kCaptionSetup, DialogButtons::kOk, DialogIcon::kError);
      ctx_.Record.Report(FailureEffect::kInstalledElsewhere, message, "", DialogIcon::kError);
      throw StartupFailed{};
    }
    return forUser;
  }
  if (installed) return *installed;
  if (s_.Dialog.AnswersItself()) return !s_.Env.IsElevated();
  std::optional<std::vector<uint8_t>> pages = state_.Pak->LoadByName("Pages.txt", 0);
  if (Installing() && pages && PageListHasType(*pages, PageKind::Scope)) {
    ctx_.ScopeChoiceOpen = true;
    return true;
  }
  return !AskForEveryone();
}

// A setup whose pages have no Scope page (one made before there was one)
// asks in a box.
bool Sequence::AskForEveryone() {
  const std::u16string question = ResolveDisplayText(
      ctx_.Languages, ctx_.TextMacros, ctx_.Languages.GetTextOr(kTextScopeQuestion, kScopeQuestionEnglish));
  return s_.Dialog.ShowUnicode(question, CodePageToUtf16(kCaptionSetup), DialogButtons::kYesNo,
                               DialogIcon::kQuestion) == DialogAnswer::kYes;
}

void Sequence::LoadCommandLines() {
  std::optional<std::vector<uint8_t>> lines = state_.Pak->LoadByName("CompiledLines", 0);
  if (!lines) Fail(kMsgCompiledLinesMissing, kCaptionVerificationError);
  ctx_.CompLines.LoadFromBuffer(*lines);
  if (ctx_.Commands.Count() == 0) RegisterCommands(ctx_.Commands);
  state_.GroupKinds = BuildGroupKinds(ctx_.CompLines, ctx_.Commands);
}

// An uninstaller works from the install log its setup left in the install
// folder.
void Sequence::LoadInstallLog() {
  const SetupInfoRecord& si = ctx_.SetupInfo;
  const NativePath logPath = SystemPath(si.InstallDir + "\\" + si.UninstallPrefix + "install.log");
  std::unique_ptr<RandomAccessFile> log = s_.Env.FileExists(logPath) ? s_.Env.OpenArchive(logPath) : nullptr;
  // A run stopped before it wrote the log: undoing it comes first, and the
  // uninstall page reads the log again then.
  if (!log && s_.Env.FileExists(SystemPath(RunJournalPath(si.InstallDir)))) return;
  if (!log) Fail(kMsgInstallLogMissing, kCaptionSetupError);
  ctx_.InstallLog.LoadFromBuffer(log->ReadVector(0, static_cast<size_t>(log->Size())));
}

// An uninstaller needs no space.
void Sequence::WorkOutSpaceRequired() {
  const uint64_t total = Installing() ? PayloadSpace(*state_.Pak, state_.GroupKinds) : 0;
  ctx_.SpaceRequired = total;
  ctx_.SpaceRequiredText = FormatByteSize(total);
}

void Sequence::ReadSystemFolders() {
  ctx_.Folders.ProgramFilesDir = s_.Env.ProgramFilesDir();
  ctx_.Folders.StartMenuProgramsDir = s_.Env.ProgramsDir();
  for (size_t i = 0; i < kSystemFolderCount; ++i)
    ctx_.Folders.System[i] = s_.Env.SystemFolderDir(static_cast<SystemFolder>(i));
}

// A setup renamed by hand is refused; an archive named on the command line
// is not checked.
void Sequence::CheckOwnName() {
  if (state_.ArchiveFromArgument) return;
  // The own name in the code page: a character it cannot hold becomes "?",
  // which no setup name matches.
  const std::string ownPath = PathText(state_.OwnPath);
  if (!OwnNameMatches(ownPath, ctx_.SetupInfo.SetupExeName))
    Fail(RenamedSetupMessage(ctx_.SetupInfo.SetupExeName, FileNamePart(ownPath)), kCaptionError);
}

void Sequence::LoadLanguages() {
  PakReader& pak = *state_.Pak;
  for (PakFound f = pak.FindFirst(0, true); !f.Name.empty(); f = pak.FindNext(0, true)) {
    if (!StartsWithNoCase(f.Name, "LANGUAGE-")) continue;
    std::vector<uint8_t> data = f.Data ? std::move(*f.Data) : std::vector<uint8_t>();
    ctx_.Languages.AddLanguage(data);
  }
  ctx_.Languages.SelectLanguage(state_.SystemLangId);
}

void Sequence::SetSpaceAvailable() {
  const std::string& dir = ctx_.SetupInfo.InstallDir;
  char c = dir.empty() ? '\0' : dir[0];
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c < 'A' || c > 'Z') return;
  std::optional<uint64_t> free = s_.Env.FreeDiskBytes(std::string(1, c) + ":\\");
  if (!free) return;
  ctx_.SpaceAvailable = *free;
  ctx_.SpaceAvailableText = FormatByteSize(*free);
}

// An installed product is found by its registration: the wizard starts
// there and a silent run installs there.
bool Sequence::UseInstalledFolder() {
  std::optional<std::string> installed =
      InstalledFolder(IdentityOf(ctx_), [this](int root, const std::string& key, const std::string& name) {
        return s_.Env.ReadRegistryString(root, key, name);
      });
  if (!installed) return false;
  ctx_.SetupInfo.InstallDir = *installed;
  SetSpaceAvailable();
  return true;
}

void Sequence::CheckInstallDir() {
  SetupInfoRecord& si = ctx_.SetupInfo;
  if (options_.InstallDir) {
    // The folder given on the command line wins over the registry.
    const std::u16string given = Utf8ToUtf16(*options_.InstallDir);
    std::optional<std::string> dir = CodePageFromUtf16Exactly(given);
    if (!dir) Fail(FolderNotInCodePageMessage(given), kCaptionError);
    si.InstallDir = *dir;
    if (si.InstallDir.empty()) Fail(kMsgRegistryKeyNotFound, kCaptionError);
    SetSpaceAvailable();
    return;
  }
  if (UseInstalledFolder()) return;
  const RegistryLocation& rk = si.InstallDirRegKey;
  if (rk.ValueName.empty()) {
    if (si.InstallDir.empty()) Fail(kMsgRegistryKeyNotFound, kCaptionError);
    SetSpaceAvailable();
    return;
  }
  std::optional<std::string> value = s_.Env.ReadRegistryString(rk.RootKey, rk.Key, rk.ValueName);
  if (!value) {
    // The key does not open: the stored folder stays, free space unknown.
    if (si.InstallDir.empty()) Fail(kMsgRegistryKeyNotFound, kCaptionError);
    return;
  }
  si.InstallDir = *value;
  if (si.InstallDir.empty()) Fail(kMsgRegistryKeyNotFound, kCaptionError);
  SetSpaceAvailable();
}

}  // namespace

bool RunStartup(SetupContext& ctx, const StubOptions& options, StartupServices services, StartupState& state) {
  Sequence sequence(ctx, options, services, state);
  try {
    sequence.Run();
    return true;
  } catch (const StartupFailed&) {
    return false;
  } catch (const SetupError& e) {
    services.Reporter.Report(e.what(), "");
    ctx.Record.Refuse(e.what());
    return false;
  }
}

}  // namespace ferry
