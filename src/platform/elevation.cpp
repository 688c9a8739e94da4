#include "platform/elevation.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "base/system_path.h"
#include "base/text.h"
#include "engine/stub_command_line.h"
#include "platform/files.h"
#include "platform/win_text.h"

namespace ferry {

std::wstring ElevatedParameters(const std::wstring& commandLine) {
  const std::string line = Utf16ToUtf8(WideToU16(commandLine));
  std::vector<size_t> ends;
  const std::vector<std::string> pieces = SplitCommandLine(line, &ends);
  std::string rest = pieces.empty() ? std::string() : line.substr(ends[0]);
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.erase(0, 1);
  return U16ToWide(Utf8ToUtf16("/ELEVATED /ALLUSERS" + (rest.empty() ? std::string() : " " + rest)));
}

std::optional<unsigned long> RunElevatedCopy(const std::wstring& parameters) {
  const NativePath program = OwnProgramPath();
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
  info.lpVerb = L"runas";
  info.lpFile = program.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info) || !info.hProcess) return std::nullopt;
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  return code;
}

}  // namespace ferry
