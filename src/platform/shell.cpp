#include "platform/shell.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/win_text.h"

namespace ferry {

std::string SpecialFolderPath(int csidl, HWND owner) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(owner, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
  return WideToAnsi(buffer);
}

std::string SpecialFolderDir(int csidl, HWND owner) {
  std::string path = SpecialFolderPath(csidl, owner);
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

bool ShellOpenDocument(const std::string& path, HWND owner, int show) {
  HINSTANCE rc = ShellExecuteW(owner, nullptr, AnsiToWide(path).c_str(), nullptr, nullptr, show);
  return reinterpret_cast<INT_PTR>(rc) > 32;
}

ProcessHandle::~ProcessHandle() {
  if (h_) CloseHandle(h_);
}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
  if (this != &other) {
    if (h_) CloseHandle(h_);
    h_ = other.h_;
    other.h_ = nullptr;
  }
  return *this;
}

std::optional<uint32_t> ProcessHandle::Wait(uint32_t milliseconds) const {
  if (!h_ || WaitForSingleObject(h_, milliseconds) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  if (!GetExitCodeProcess(h_, &code)) return std::nullopt;
  return code;
}

namespace {

bool ShellExecuteWide(const std::wstring& file, const std::wstring& params, const std::wstring& dir,
                      const std::wstring& verb, const ExecuteArgs& args, ProcessHandle* process) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.hwnd = args.Owner;
  info.lpVerb = verb.empty() ? nullptr : verb.c_str();
  info.lpFile = file.c_str();
  info.lpParameters = params.empty() ? nullptr : params.c_str();
  info.lpDirectory = dir.empty() ? nullptr : dir.c_str();
  info.nShow = args.Show;
  if (!ShellExecuteExW(&info)) return false;
  if (process) {
    *process = ProcessHandle(info.hProcess);
  } else if (info.hProcess) {
    CloseHandle(info.hProcess);
  }
  return true;
}

}  // namespace

bool ShellExecuteWithProcess(const ExecuteArgs& args, ProcessHandle* process) {
  return ShellExecuteWide(AnsiToWide(args.File), AnsiToWide(args.Parameters), AnsiToWide(args.Directory),
                          AnsiToWide(args.Verb), args, process);
}

bool ShellStartProgram(const NativePath& program, const std::wstring& parameters, int show) {
  ExecuteArgs args;
  args.Show = show;
  return ShellExecuteWide(program.native(), parameters, L"", L"", args, nullptr);
}

bool CreateShellLink(const ShellLinkArgs& args) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return false;
  bool ok = FillAndSaveShellLink(link, args);
  link->Release();
  return ok;
}

bool FillAndSaveShellLink(IShellLinkW* link, const ShellLinkArgs& args) {
  bool ok = SUCCEEDED(link->SetPath(AnsiToWide(args.Target).c_str())) &&
            SUCCEEDED(link->SetArguments(AnsiToWide(args.Arguments).c_str())) &&
            SUCCEEDED(link->SetWorkingDirectory(AnsiToWide(args.WorkingDirectory).c_str())) &&
            SUCCEEDED(link->SetDescription(AnsiToWide(args.Description).c_str())) &&
            SUCCEEDED(link->SetShowCmd(args.ShowCommand));
  if (ok && !args.IconPath.empty())
    ok = SUCCEEDED(link->SetIconLocation(AnsiToWide(args.IconPath).c_str(), args.IconIndex));
  IPersistFile* file = nullptr;
  if (ok) ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
  // fRemember FALSE: the link object only writes the file; the .lnk does
  // not become the document the object is bound to.
  if (ok) ok = SUCCEEDED(file->Save(AnsiToWide(args.LinkPath).c_str(), FALSE));
  if (file) file->Release();
  return ok;
}

ComInit::ComInit() : ok_(SUCCEEDED(CoInitialize(nullptr))) {}

ComInit::~ComInit() {
  if (ok_) CoUninitialize();
}

}  // namespace ferry
