#include "platform/error_report_win.h"

#include <windows.h>

#include <algorithm>
#include <set>

#include "base/dialogs.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/win_text.h"
#include "platform/os_info_win.h"

namespace ferry {

namespace {

constexpr std::string_view kCaption = "Error Report";

// Half a second of time-stamp counter at real-time priority, in MHz.
uint32_t MeasureCpuSpeed() {
  Priorities saved = CurrentPriorities();
  RaiseToRealTime();
  SleepMs(10);
  uint64_t first = ReadCycleCounter();
  SleepMs(500);
  uint64_t second = ReadCycleCounter();
  SetPriorities(saved);
  return CpuMhzFromCounter(first, second);
}

ErrorReportData Gather(const ErrorReportSource& source, std::string_view errorText, std::string_view errorType) {
  ErrorReportData d;
  d.Source = source;
  d.ErrorType = std::string(errorType);
  d.ErrorText = std::string(errorText);
  OsInfo os(ReadOSVersionData());
  d.Product = os.ProductLine();
  d.BuildNumber = os.BuildNumber();
  d.ServicePack = os.ServicePack();
  d.ServicePackMajor = os.ServicePackMajor();
  d.ServicePackMinor = os.ServicePackMinor();
  d.PhysicalMemoryMB = PhysicalMemoryMB(TotalPhysicalMemory());
  d.CpuMhz = std::max(MeasureCpuSpeed(), MeasureCpuSpeed());
  return d;
}

// Every write is checked: a report that is cut short would mislead.
bool WriteNewFile(const std::string& path, const std::string& text, uint32_t* error) {
  HANDLE h = CreateFileW(WinPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return false;
  }
  DWORD written = 0;
  bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
  if (!ok) *error = GetLastError();
  if (!CloseHandle(h) && ok) {
    *error = GetLastError();
    ok = false;
  }
  return ok;
}

}  // namespace

std::string WriteErrorReport(const ErrorReportSource& source, std::string_view errorText,
                             std::string_view errorType, Dialogs& dialogs, bool openReport) {
  ErrorReportData data = Gather(source, errorText, errorType);
  const std::string text = FormatErrorReport(data);
  // Created new under the first free name: a name that looks free but is
  // taken (a link to nowhere planted there) is passed over, never followed.
  std::set<std::string> taken;
  auto isTaken = [&taken](const std::string& p) {
    return taken.count(p) != 0 || FileAttributesOf(p) != kInvalidFileAttributes;
  };
  std::string path;
  uint32_t error = 0;
  bool written = false;
  for (int tries = 0; tries < 100 && !written; ++tries) {
    path = ErrorReportPath(TempFolder(), isTaken);
    written = WriteNewFile(path, text, &error);
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    taken.insert(path);
  }
  if (!written) {
    std::string text = "Cannot write the error report \"" + path + "\": " + SystemErrorText(error) + "\r\r" +
                       std::string(errorType.empty() ? "Unknown" : errorType) + " Error: " + std::string(errorText);
    dialogs.Show(text, kCaption, DialogButtons::kOk, DialogIcon::kError);
    return {};
  }
  dialogs.Show(ErrorReportMessage(errorType, errorText, path), kCaption, DialogButtons::kOk, DialogIcon::kError);
  if (openReport) ShellOpenDocument(path, nullptr, SW_SHOWMAXIMIZED);
  return path;
}

}  // namespace ferry
