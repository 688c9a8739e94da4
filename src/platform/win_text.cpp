#include "platform/win_text.h"

#include <windows.h>

#include <climits>

#include "base/system_path.h"
#include "base/text.h"

namespace ferry {

std::wstring AnsiToWide(std::string_view s) {
  if (s.empty() || s.size() > INT_MAX) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
  return out;
}

std::wstring WinPath(std::string_view path) { return SystemPath(path).native(); }

std::string WideToAnsi(std::wstring_view s) {
  if (s.empty() || s.size() > INT_MAX) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring U16ToWide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }

std::u16string WideToU16(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }

std::u16string AnsiToU16(std::string_view s) { return WideToU16(AnsiToWide(s)); }

std::string U16ToAnsi(std::u16string_view s) { return WideToAnsi(U16ToWide(s)); }

std::string AnsiToUtf8(std::string_view s) { return Utf16ToUtf8(AnsiToU16(s)); }

std::string SystemErrorText(uint32_t code) {
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  if (text.empty()) return "Error " + std::to_string(code);
  return WideToAnsi(text);
}

}  // namespace ferry
