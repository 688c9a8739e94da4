#include "platform/elevation.h"

#include <windows.h>
#include <shellapi.h>

#include "base/system_path.h"
#include "base/text.h"
#include "platform/files.h"
#include "platform/win_text.h"

namespace ferry {

std::optional<int> WinElevation::RunElevatedCopy(const std::string& parameters) {
  const NativePath program = OwnProgramPath();
  const std::wstring wide = U16ToWide(Utf8ToUtf16(parameters));
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
  info.lpVerb = L"runas";
  info.lpFile = program.c_str();
  info.lpParameters = wide.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info) || !info.hProcess) return std::nullopt;
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  return static_cast<int>(code);
}

}  // namespace ferry
