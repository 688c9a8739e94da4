#include "core/uninstall/uninstall_win.h"

#include <windows.h>

#include <filesystem>
#include <memory>
#include <optional>

#include "archive/pak_file.h"
#include "base/byte_reader.h"
#include "base/random_access_file.h"
#include "base/setup_error.h"
#include "base/system_path.h"
#include "base/text.h"
#include "core/setup_context.h"
#include "core/commands/command_runtime_win.h"
#include "core/text_helpers.h"
#include "core/uninstall/registry_record.h"
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
constexpr const wchar_t* kRegistrationValues[] = {L"DisplayName",  L"UninstallString", L"QuietUninstallString",
                                                  L"DisplayIcon",  L"InstallLocation", L"EstimatedSize",
                                                  L"NoModify",     L"NoRepair"};

std::string RegistrationKey(const TSetupContext& ctx) { return kUninstallRegistryKey + ctx.SetupInfo.ShortTitle; }

std::string InstallLogPath(const TSetupContext& ctx) {
  return IncludeTrailingBackslash(ctx.SetupInfo.InstallDir) + ctx.SetupInfo.UninstallPrefix + "install.log";
}

bool SetString(HKEY key, const wchar_t* name, const std::string& value) {
  std::wstring wide = AnsiToWide(value);
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                        static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool SetDword(HKEY key, const wchar_t* name, DWORD value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
         ERROR_SUCCESS;
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
            SetDword(h, L"NoModify", 1) && SetDword(h, L"NoRepair", 1);
  RegCloseKey(h);
  if (!ok) ctx.Progress.Problem("The uninstall registration HKLM\\" + key + " could not be written.");
}

// The bytes of the running program before its own archive (all of it when
// it carries none).
std::optional<std::vector<uint8_t>> ReadHostPart(const std::filesystem::path& program) {
  std::unique_ptr<RandomAccessFile> file = OpenDiskFile(program, FileMode::kRead);
  if (!file) return std::nullopt;
  uint64_t size = file->Size();
  {
    TPak own(*file, TPakMode::kReader);
    if (own.IsValid() && own.Trailer().DataStart <= size) size = own.Trailer().DataStart;
  }
  if (size == 0) return std::nullopt;
  return file->ReadVector(0, static_cast<size_t>(size));
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

// A text as it must stand in a script line: "%" doubled.
std::string ScriptText(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
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
  const std::string logPath = InstallLogPath(ctx);
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
  const std::string script = TempFolder() + "ferry-remove-" + std::to_string(GetCurrentProcessId()) + ".cmd";
  const std::string program = ScriptText(programPath);
  // Waits (up to about five minutes) until the program has ended and its
  // file can go; then the folders it kept from being empty.
  std::string text = "@echo off\r\nset n=0\r\n:again\r\ndel /f /q \"" + program + "\" >nul 2>&1\r\n";
  text += "if not exist \"" + program + "\" goto gone\r\n";
  text += "set /a n+=1\r\nif %n% geq 300 goto end\r\nping -n 2 127.0.0.1 >nul 2>&1\r\ngoto again\r\n:gone\r\n";
  for (auto it = directories.rbegin(); it != directories.rend(); ++it) {
    std::string dir = *it;
    while (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
    text += "rmdir \"" + ScriptText(dir) + "\" >nul 2>&1\r\n";
  }
  text += ":end\r\ndel \"" + ScriptText(script) + "\" >nul 2>&1\r\n";
  if (!WriteFileCreatingDirs(script, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()),
                                                              text.size()),
                             nullptr))
    return false;
  std::wstring command = L"cmd.exe /d /c \"" + AnsiToWide(script) + L"\"";
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP,
                      nullptr, nullptr, &si, &pi)) {
    DeleteFileAt(script);
    return false;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
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
