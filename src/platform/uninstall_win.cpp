#include "platform/uninstall_win.h"

#include <windows.h>

#include <cwchar>
#include <filesystem>
#include <memory>
#include <optional>

#include "formats/pak/pak_file.h"
#include "formats/pak/pe_image.h"
#include "base/byte_reader.h"
#include "base/random_access_file.h"
#include "base/setup_error.h"
#include "base/system_path.h"
#include "base/text.h"
#include "formats/setup/product_info.h"
#include "engine/setup_context.h"
#include "engine/commands/command_runtime_win.h"
#include "base/text_helpers.h"
#include "formats/install_log/registry_record.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/win_text.h"

namespace ferry {

namespace {

constexpr char kIconEntry[] = "UNINSTALL_ICON.ICO";
constexpr char kUninstallPrefix[] = "UNINSTALL_";
constexpr size_t kUninstallPrefixLength = 10;

// Values of the registration; the uninstall deletes them with the key.
constexpr const wchar_t* kRegistrationValues[] = {
    L"DisplayName",   L"UninstallString", L"QuietUninstallString", L"DisplayIcon",    L"InstallLocation",
    L"EstimatedSize", L"NoModify",        L"NoRepair",             L"DisplayVersion", L"Publisher",
    L"URLInfoAbout"};

std::string RegistrationKey(const TSetupContext& ctx) { return kUninstallRegistryKey + ctx.SetupInfo.ShortTitle; }

bool SetString(HKEY key, const wchar_t* name, const std::string& value) {
  std::wstring wide = AnsiToWide(value);
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                        static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool SetDword(HKEY key, const wchar_t* name, DWORD value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
         ERROR_SUCCESS;
}

// The values of the setup's "ProductInfo"; one it does not give is deleted,
// so that an earlier install's value does not stay on as this one's.
bool SetProductValues(TSetupContext& ctx, HKEY key) {
  std::optional<TProductInfo> product = TProductInfo{};
  if (ctx.Pak) {
    if (std::optional<std::vector<uint8_t>> data = ctx.Pak->LoadByName(kProductInfoEntry, 0))
      product = ReadProductInfo(*data);
  }
  if (!product) {
    ctx.Progress.Problem("The setup's product information is damaged: no version or publisher is registered.");
    product = TProductInfo{};
  }
  bool ok = true;
  for (const auto& [name, value] : {std::pair{L"DisplayVersion", &product->Version},
                                    std::pair{L"Publisher", &product->Publisher},
                                    std::pair{L"URLInfoAbout", &product->HelpUrl}}) {
    if (!value->empty()) ok &= SetString(key, name, *value);
    else RegDeleteValueW(key, name);
  }
  return ok;
}

void WriteRegistration(TSetupContext& ctx) {
  const std::string key = RegistrationKey(ctx);
  HKEY h = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, AnsiToWide(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                      nullptr, &h, nullptr) != ERROR_SUCCESS) {
    ctx.Progress.Problem("The uninstall registration HKLM\\" + key + " could not be created.");
    return;
  }
  const std::string program = UninstallerPath(ctx);
  // Quoted: a path with blanks must not be read as a shorter program name.
  const std::string quoted = "\"" + program + "\"";
  std::string location = ctx.SetupInfo.InstallDir;
  if (location.size() > 3 && location.back() == '\\') location.pop_back();
  const uint64_t kib = (ctx.SpaceRequired + 1023) / 1024;
  bool ok = SetString(h, L"DisplayName", ctx.SetupInfo.ShortTitle) && SetString(h, L"UninstallString", quoted) &&
            SetString(h, L"QuietUninstallString", quoted + " /S") && SetString(h, L"DisplayIcon", program) &&
            SetString(h, L"InstallLocation", location) &&
            SetDword(h, L"EstimatedSize", static_cast<DWORD>(kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : kib)) &&
            SetDword(h, L"NoModify", 1) && SetDword(h, L"NoRepair", 1) && SetProductValues(ctx, h);
  RegCloseKey(h);
  if (!ok) ctx.Progress.Problem("The uninstall registration HKLM\\" + key + " could not be written.");
}

// The bytes of the running program before its own archive (all of it but a
// certificate table when it carries none), as an unsigned program: a signed
// setup's security directory points at a table the copy does not carry.
std::optional<std::vector<uint8_t>> ReadHostPart(const std::filesystem::path& program) {
  std::unique_ptr<RandomAccessFile> file = OpenDiskFile(program, FileMode::kRead);
  if (!file) return std::nullopt;
  uint64_t size = PeAppendedDataEnd(*file).value_or(file->Size());
  {
    TPak own(*file, TPakMode::kReader);
    if (own.IsValid() && own.Trailer().DataStart <= size) size = own.Trailer().DataStart;
  }
  if (size == 0) return std::nullopt;
  MemoryFile host(file->ReadVector(0, static_cast<size_t>(size)));
  PeClearSecurityEntry(host);
  return std::move(host.Data());
}

void PutIcon(TSetupContext& ctx, const std::string& program) {
  const std::vector<TPakFile>& files = ctx.Pak->Files();
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i].Group != 0 || !EqualsNoCase(files[i].Name, kIconEntry)) continue;
    std::optional<std::vector<uint8_t>> icon = ctx.Pak->LoadEntry(i);
    const std::string temp = TempFolder() + "icon.ico";
    if (!icon || !WriteFileCreatingDirs(temp, *icon, nullptr) || !ReplaceIcon(temp, program))
      ctx.Progress.Problem("The uninstaller's icon could not be set.");
    DeleteFileAt(temp);
  }
}

void AppendUninstallerArchive(TSetupContext& ctx, const std::string& program) {
  TPak writer(SystemPath(program), false, true);
  const std::vector<TPakFile> files = ctx.Pak->Files();
  for (size_t i = 0; i < files.size(); ++i) {
    const TPakFile& e = files[i];
    if (e.Group != 0 || !StartsWithNoCase(e.Name, kUninstallPrefix) || EqualsNoCase(e.Name, kIconEntry)) continue;
    std::optional<std::vector<uint8_t>> data = ctx.Pak->LoadEntry(i);
    size_t index = writer.AddEntry(e.Name.substr(kUninstallPrefixLength), "", 0);
    if (data) writer.StoreBuffer(index, *data);
  }
  // A copy: the running setup keeps its own flag at 0.
  TSetupInfoFile info;
  info.Info() = ctx.SetupInfo.Info();
  info.IsUninstaller = 1;
  writer.StoreBuffer(writer.AddEntry("SetupInfo", "", 0), info.WriteToBuffer());
  writer.WriteDirectory();
  writer.Close();
}

void WriteUninstaller(TSetupContext& ctx) {
  const std::filesystem::path own = OwnProgramPath();
  std::optional<std::vector<uint8_t>> host = ReadHostPart(own);
  if (!host) {
    ctx.Progress.Problem("No uninstaller was written: the running program \"" + PathText(own) +
                         "\" could not be read.");
    return;
  }
  ForceDirectoriesLogged(ctx.SetupInfo.InstallDir, [&ctx](const std::string& dir) { ctx.InstallLog.AddDirectory(dir); });
  const std::string program = UninstallerPath(ctx);
  DeleteFileAt(program);
  if (!WriteFileCreatingDirs(program, *host, nullptr)) {
    ctx.Progress.FileNotWritten(program, "the uninstaller could not be written");
    return;
  }
  // A resource update rewrites the file, so the icon goes in before the
  // archive is appended.
  PutIcon(ctx, program);
  try {
    AppendUninstallerArchive(ctx, program);
    // The header's CheckSum, cleared with the signature, for the finished file.
    if (std::unique_ptr<RandomAccessFile> file = OpenDiskFile(SystemPath(program), FileMode::kReadWrite))
      PeWriteCheckSum(*file);
  } catch (const SetupError& e) {
    ctx.Progress.FileNotWritten(program, std::string("the uninstaller's archive could not be written: ") + e.what());
  }
}

// Deletes `key` and its parents along the path while they hold nothing.
void PruneEmptyKeys(HKEY root, std::string key) {
  while (!key.empty() && key.back() == '\\') key.pop_back();
  while (!key.empty()) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, AnsiToWide(key).c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return;
    DWORD subkeys = 0, values = 0;
    LONG rc = RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS || subkeys != 0 || values != 0) return;
    if (RegDeleteKeyW(root, AnsiToWide(key).c_str()) != ERROR_SUCCESS) return;
    size_t slash = key.find_last_of('\\');
    key = slash == std::string::npos ? std::string() : key.substr(0, slash);
    while (!key.empty() && key.back() == '\\') key.pop_back();
  }
}

class TWinUninstallSystem : public TUninstallSystem {
 public:
  explicit TWinUninstallSystem(std::string logPath) : log_path_(std::move(logPath)) {}

  bool FileExists(const std::string& path) override { return ferry::FileExists(path); }
  bool DeleteOneFile(const std::string& path) override {
    if (DeleteFileAt(path)) return true;
    // A read-only file the install wrote is still the install's.
    SetFileAttributesOf(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileAt(path);
  }
  bool DirectoryExists(const std::string& path) override { return ferry::DirectoryExists(path); }
  bool RemoveEmptyFolder(const std::string& path) override { return RemoveDirectoryAt(path); }
  bool DeleteRegistryValue(int root, const std::string& key, const std::string& valueName) override {
    return DeleteValueAndEmptyKeys(root, key, valueName);
  }
  void RemoveRegistration(const std::string& shortTitle) override {
    const std::wstring key = AnsiToWide(kUninstallRegistryKey + shortTitle);
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS) return;
    for (const wchar_t* name : kRegistrationValues) RegDeleteValueW(h, name);
    RegCloseKey(h);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
  }
  bool DeleteInstallLog() override { return DeleteFileAt(log_path_) || !ferry::FileExists(log_path_); }

  static bool DeleteValueAndEmptyKeys(int root, const std::string& key, const std::string& valueName) {
    HKEY rootKey = RootKeyHandle(root);
    HKEY h = nullptr;
    if (RegOpenKeyExW(rootKey, AnsiToWide(key).c_str(), 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
      return true;  // nothing there
    LONG rc = RegDeleteValueW(h, AnsiToWide(valueName).c_str());
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return false;
    PruneEmptyKeys(rootKey, key);
    return true;
  }

 private:
  std::string log_path_;
};

std::string CollapseBackslashes(std::string path) {
  std::string out;
  for (char c : path)
    if (!(c == '\\' && !out.empty() && out.back() == '\\' && out.size() > 1)) out += c;
  return out;
}

// Self-removal: the helper copy, what it is told through its environment.
constexpr wchar_t kRemoveWait[] = L"FERRY_RM_WAIT";        // inherited handle of the uninstaller's process
constexpr wchar_t kRemoveProgram[] = L"FERRY_RM_PROGRAM";  // the uninstaller's file
constexpr wchar_t kRemoveDirs[] = L"FERRY_RM_DIRS";        // how many FERRY_RM_DIR<n> follow
constexpr wchar_t kRemoveDir[] = L"FERRY_RM_DIR";          // folders in the order they go, from 1
constexpr wchar_t kRemoveSelf[] = L"FERRY_RM_SELF";        // the helper copy itself
constexpr DWORD kRemoveWaitMs = 60000;

std::wstring EnvironmentValue(const wchar_t* name) {
  std::wstring value(64, L'\0');
  for (;;) {
    DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (n < value.size()) return value.substr(0, n);
    value.resize(n);
  }
}

// This process's environment with the removal values added (any earlier
// FERRY_RM_ values left out), as CreateProcessW takes it.
std::wstring RemovalEnvironment(const std::vector<std::pair<std::wstring, std::wstring>>& values) {
  std::wstring block;
  if (wchar_t* own = GetEnvironmentStringsW()) {
    for (const wchar_t* p = own; *p; p += wcslen(p) + 1)
      if (_wcsnicmp(p, L"FERRY_RM_", 9) != 0) block.append(p).push_back(L'\0');
    FreeEnvironmentStringsW(own);
  }
  for (const auto& [name, value] : values) block.append(name).append(L"=").append(value).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

// Starts a program without a window in the system folder, so that it keeps
// no folder of the install in use. Of our handles it inherits `inherit`
// alone, when given.
bool StartDetached(const std::wstring& program, std::wstring commandLine, const std::wstring* environment,
                   HANDLE inherit) {
  wchar_t system[MAX_PATH] = {};
  if (GetSystemDirectoryW(system, MAX_PATH) == 0) return false;
  STARTUPINFOEXW si = {};
  si.StartupInfo.cb = sizeof(si);
  DWORD flags = CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT;
  std::vector<char> attributes;
  if (inherit) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    attributes.resize(size);
    si.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    if (!InitializeProcThreadAttributeList(si.lpAttributeList, 1, 0, &size)) return false;
    if (!UpdateProcThreadAttribute(si.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &inherit,
                                   sizeof(inherit), nullptr, nullptr)) {
      DeleteProcThreadAttributeList(si.lpAttributeList);
      return false;
    }
    si.StartupInfo.cb = sizeof(si);
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  PROCESS_INFORMATION pi = {};
  const BOOL ok = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, inherit != nullptr, flags,
                                 environment ? const_cast<wchar_t*>(environment->data()) : nullptr, system,
                                 &si.StartupInfo, &pi);
  if (inherit) DeleteProcThreadAttributeList(si.lpAttributeList);
  if (!ok) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

// The helper's last act: the command interpreter deletes the helper's file
// once the helper has ended (until then it cannot go), trying once a second
// for half a minute. Each "if" holds the rest of the line, so the tries stop
// once the file is gone. The line names the file only through the
// environment.
void DeleteHelperLater() {
  wchar_t system[MAX_PATH] = {};
  if (GetSystemDirectoryW(system, MAX_PATH) == 0) return;
  const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
  const std::wstring del = L"del /f /q \"%FERRY_RM_SELF%\" >nul 2>&1";
  std::wstring line = del;
  for (int i = 0; i < 30; ++i)
    line += L" & if exist \"%FERRY_RM_SELF%\" ping -n 2 127.0.0.1 >nul & " + del;
  StartDetached(cmd, L"\"" + cmd + L"\" /d /s /c \"" + line + L"\"", nullptr, nullptr);
}

}  // namespace

std::string UninstallerPath(const TSetupContext& ctx) {
  return IncludeTrailingBackslash(ctx.SetupInfo.InstallDir) + ctx.SetupInfo.UninstallExeName;
}

void RegisterUninstall(TSetupContext& ctx) {
  WriteRegistration(ctx);
  if (ctx.Pak && ctx.Pak->EntryCount() > 0) WriteUninstaller(ctx);
}

bool ReplaceIcon(const std::string& iconFile, const std::string& programFile) {
  std::optional<std::vector<uint8_t>> bytes;
  try {
    bytes = ReadWholeFile(iconFile);
  } catch (const SetupError&) {
    return false;
  }
  if (!bytes) return false;
  ByteReader r(*bytes);
  r.Skip(6);
  std::span<const uint8_t> entry = r.Bytes(16);
  if (r.Failed()) return false;
  ByteReader e(entry);
  e.Skip(8);
  const uint32_t size = e.U32();
  const uint32_t offset = e.U32();
  if (size == 0 || offset > bytes->size() || size > bytes->size() - offset) return false;
  std::vector<uint8_t> image(bytes->begin() + offset, bytes->begin() + offset + size);

  // Does the program name an icon group already? Then it names image 1.
  bool hasGroup = false;
  if (HMODULE module = LoadLibraryExW(WinPath(programFile).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
    hasGroup = FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON) != nullptr;
    FreeLibrary(module);
  }
  HANDLE update = BeginUpdateResourceW(WinPath(programFile).c_str(), FALSE);
  if (!update) return false;
  const WORD neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
  bool ok = UpdateResourceW(update, RT_ICON, MAKEINTRESOURCEW(1), neutral, image.data(),
                            static_cast<DWORD>(image.size())) != FALSE;
  if (ok && !hasGroup) {
    // Icon directory: reserved 0, type 1, one entry: the icon file's entry
    // with its last field (the file offset) replaced by a u16 resource id.
    std::vector<uint8_t> group = {0, 0, 1, 0, 1, 0};
    group.insert(group.end(), entry.begin(), entry.begin() + 12);
    group.push_back(1);
    group.push_back(0);
    ok = UpdateResourceW(update, RT_GROUP_ICON, MAKEINTRESOURCEW(1), neutral, group.data(),
                         static_cast<DWORD>(group.size())) != FALSE;
  }
  return EndUpdateResourceW(update, ok ? FALSE : TRUE) != FALSE && ok;
}

bool DeleteRegistryEntry(const std::string& record) {
  std::optional<TRegistryRecord> r = SplitRegistryRecord(record);
  if (!r) return false;
  return TWinUninstallSystem::DeleteValueAndEmptyKeys(RecordRootIndex(r->Root), r->Key, r->ValueName);
}

TUninstallOutcome RunUninstallWorkOnPage(TSetupContext& ctx, TUninstallView& view) {
  const std::string logPath = InstallLogPath(ctx.SetupInfo.InstallDir, ctx.SetupInfo.UninstallPrefix);
  std::optional<std::vector<uint8_t>> bytes;
  try {
    bytes = ReadWholeFile(logPath);
  } catch (const SetupError&) {
  }
  if (!bytes) throw SetupError("The install log \"" + logPath + "\" could not be read. Nothing was removed.");
  if (std::optional<std::string> damage = CheckInstallLog(*bytes))
    throw SetupError("The install log \"" + logPath + "\" is damaged: " + *damage + ". Nothing was removed.");
  ctx.InstallLog.LoadFromBuffer(*bytes);
  TWinUninstallSystem system(logPath);
  TUninstallWorkArgs args{ctx.InstallLog, ctx.Languages,
                          [&ctx](std::string_view path) { return ctx.ExpandPathVars(path); }, ctx.SetupInfo.ShortTitle};
  return RunUninstallWork(args, system, view);
}

bool RunFinaliser(TSetupContext& ctx) {
  if (!ctx.Pak) return false;
  std::optional<std::vector<uint8_t>> data = ctx.Pak->LoadByName("FINALISE.EXE", 0);
  // No finishing program: nothing to write, nothing to start.
  if (!data) return false;
  const std::string path = TempFolder() + "FINALISE.exe";
  if (!WriteFileCreatingDirs(path, *data, nullptr)) return false;
  ExecuteArgs args;
  args.File = path;
  args.Parameters = "\"" + PathText(OwnProgramPath()) + "\"";
  args.Show = SW_SHOWNORMAL;
  return ShellExecuteWithProcess(args, nullptr);
}

bool ScheduleSelfRemoval(const std::string& programPath, const std::vector<std::string>& directories) {
  wchar_t temp[MAX_PATH + 2] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 2, temp);
  if (n == 0 || n > MAX_PATH + 1) return false;
  const std::wstring helper = std::wstring(temp, n) + L"ferry-remove-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  if (!CopyFileW(LongFormPath(OwnProgramPath()).c_str(), helper.c_str(), FALSE)) return false;
  HANDLE self = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0)) {
    DeleteFileW(helper.c_str());
    return false;
  }
  std::vector<std::pair<std::wstring, std::wstring>> values = {
      {kRemoveWait, std::to_wstring(reinterpret_cast<uintptr_t>(self))},
      {kRemoveProgram, AnsiToWide(programPath)},
      {kRemoveSelf, helper},
      {kRemoveDirs, std::to_wstring(directories.size())}};
  size_t i = 0;
  for (auto it = directories.rbegin(); it != directories.rend(); ++it)
    values.push_back({kRemoveDir + std::to_wstring(++i), AnsiToWide(*it)});
  const std::wstring environment = RemovalEnvironment(values);
  const bool started = StartDetached(helper, L"\"" + helper + L"\"", &environment, self);
  CloseHandle(self);
  if (!started) DeleteFileW(helper.c_str());
  return started;
}

std::optional<int> RunSelfRemovalIfAsked() {
  const std::wstring wait = EnvironmentValue(kRemoveWait);
  if (wait.empty()) return std::nullopt;
  HANDLE process = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(wait.c_str(), nullptr, 10)));
  const DWORD waited = WaitForSingleObject(process, kRemoveWaitMs);
  CloseHandle(process);
  // Not started by ScheduleSelfRemoval: nothing to wait for, nothing to remove.
  if (waited == WAIT_FAILED) return 1;
  if (waited == WAIT_OBJECT_0) {
    const std::wstring program = LongFormPath(EnvironmentValue(kRemoveProgram)).native();
    // The image of a program that has just ended can stay in use a moment longer.
    for (int tries = 0; tries < 40; ++tries) {
      if (DeleteFileW(program.c_str()) || GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) break;
      Sleep(250);
    }
    const unsigned long count = std::wcstoul(EnvironmentValue(kRemoveDirs).c_str(), nullptr, 10);
    for (unsigned long i = 1; i <= count; ++i)
      RemoveDirectoryW(LongFormPath(EnvironmentValue((kRemoveDir + std::to_wstring(i)).c_str())).c_str());
  }
  DeleteHelperLater();
  return 0;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  auto identity = [](const std::string& path) -> std::optional<BY_HANDLE_FILE_INFORMATION> {
    HANDLE h = CreateFileW(WinPath(path).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info = {};
    BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok) return std::nullopt;
    return info;
  };
  std::optional<BY_HANDLE_FILE_INFORMATION> x = identity(a), y = identity(b);
  if (x && y)
    return x->dwVolumeSerialNumber == y->dwVolumeSerialNumber && x->nFileIndexHigh == y->nFileIndexHigh &&
           x->nFileIndexLow == y->nFileIndexLow;
  return EqualsNoCase(CollapseBackslashes(a), CollapseBackslashes(b));
}

void FinishUninstaller(TSetupContext& ctx, bool workDone) {
  RunFinaliser(ctx);
  if (!workDone) return;
  // A name the code page cannot hold names no file: not the registered one.
  const std::string own = PathText(OwnProgramPath());
  const std::string uninstaller = UninstallerPath(ctx);
  // Only the registered uninstaller removes itself, not a copy run elsewhere.
  if (!IsSameFile(own, uninstaller)) return;
  std::vector<std::string> directories = ctx.InstallLog.Directories();
  directories.push_back(FolderOf(uninstaller));
  ScheduleSelfRemoval(own, directories);
}

}  // namespace ferry
