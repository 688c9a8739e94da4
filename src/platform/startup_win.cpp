#include "platform/startup_win.h"

#include <shlobj.h>

#include "formats/pak/pak_reader.h"
#include "base/system_path.h"
#include "base/text.h"
#include "engine/setup_context.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/run_log.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/win_text.h"
#include "platform/error_report_win.h"

namespace ferry {

uint16_t WinStartupEnvironment::DefaultLangId() { return SystemDefaultLangId(); }

NativePath WinStartupEnvironment::OwnProgramPath() { return ferry::OwnProgramPath(); }

bool WinStartupEnvironment::FileExists(const NativePath& path) {
  return KindOfPath(path) == PathKind::kFile;
}

std::unique_ptr<RandomAccessFile> WinStartupEnvironment::OpenArchive(const NativePath& path) {
  return OpenDiskFile(path, FileMode::kRead);
}

std::string WinStartupEnvironment::FindCdDrive() { return ferry::FindCdDrive(); }

std::string WinStartupEnvironment::ProgramsDir() { return SpecialFolderDir(kCsidlPrograms); }

std::string WinStartupEnvironment::ProgramFilesDir() { return SpecialFolderDir(kCsidlProgramFiles); }

// The stub is a 64-bit program, so the shell's Program Files is the 64-bit
// one. The user's temporary folder, not a run's private one.
std::string WinStartupEnvironment::SystemFolderDir(SystemFolder folder) {
  switch (folder) {
    case SystemFolder::kDesktop: return SpecialFolderDir(CSIDL_DESKTOPDIRECTORY);
    case SystemFolder::kCommonDesktop: return SpecialFolderDir(CSIDL_COMMON_DESKTOPDIRECTORY);
    case SystemFolder::kCommonPrograms: return SpecialFolderDir(CSIDL_COMMON_PROGRAMS);
    case SystemFolder::kAppData: return SpecialFolderDir(CSIDL_APPDATA);
    case SystemFolder::kLocalAppData: return SpecialFolderDir(CSIDL_LOCAL_APPDATA);
    case SystemFolder::kCommonAppData: return SpecialFolderDir(CSIDL_COMMON_APPDATA);
    case SystemFolder::kCommonFiles: return SpecialFolderDir(CSIDL_PROGRAM_FILES_COMMON);
    case SystemFolder::kProgramFiles32: return SpecialFolderDir(CSIDL_PROGRAM_FILESX86);
    case SystemFolder::kProgramFiles64: return SpecialFolderDir(CSIDL_PROGRAM_FILES);
    case SystemFolder::kWindows: return SpecialFolderDir(CSIDL_WINDOWS);
    case SystemFolder::kSystem: return SpecialFolderDir(CSIDL_SYSTEM);
    case SystemFolder::kTemp: {
      std::string temp = TempFolder();
      return temp.empty() || temp.back() != '\\' ? temp + '\\' : temp;
    }
  }
  return "\\";
}

std::optional<std::string> WinStartupEnvironment::ReadRegistryString(int root, const std::string& key,
                                                                      const std::string& valueName) {
  RegKey k = RegKey::Open(root, key, false, true);
  if (!k.IsOpen()) return std::nullopt;
  return k.ReadString(valueName).value_or(std::string());
}

std::optional<uint64_t> WinStartupEnvironment::FreeDiskBytes(const std::string& root) {
  return ferry::FreeDiskBytes(root);
}

void SilentVerifyView::SetProgress(uint32_t position, uint32_t maximum) {
  position_ = position;
  maximum_ = maximum;
}

void SilentVerifyView::Refresh() {
  if (position_ != 0 && position_ != maximum_) return;
  if (status_ == last_logged_) return;
  last_logged_ = status_;
  log_.Message("Verifying Contents", AnsiToUtf8(status_));
}

void WinErrorReporter::Report(std::string_view errorText, std::string_view stage) {
  ErrorReportSource source;
  source.SetupTitle = ctx_.SetupInfo.SetupTitle;
  source.SetupExeName = ctx_.SetupInfo.SetupExeName;
  if (ctx_.Pak) {
    const PakTrailer& t = ctx_.Pak->Trailer();
    for (char c : t.Magic)
      if (c != '\0') source.PakMagic += c;
    source.PakVersion = t.Version;
    source.PakEntryCount = t.EntryCount;
  }
  for (const std::string& p : options_.Params) source.Params.push_back(CodePageFromUtf16(Utf8ToUtf16(p)));
  WriteErrorReport(source, errorText, stage, dialogs_, open_);
}

}  // namespace ferry
