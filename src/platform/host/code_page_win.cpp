// The system code page of the Windows programs: the system's ANSI code page.
#include <windows.h>

#include <climits>

#include "base/text.h"

namespace ferry {

std::u16string CodePageToUtf16(std::string_view s) {
  if (s.empty() || s.size() > INT_MAX) return {};
  const int length = static_cast<int>(s.size());
  int n = MultiByteToWideChar(CP_ACP, 0, s.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.data(), length, wide.data(), n);
  return std::u16string(wide.begin(), wide.end());
}

std::string CodePageFromUtf16(std::u16string_view s) {
  if (s.empty() || s.size() > INT_MAX) return {};
  const std::wstring wide(s.begin(), s.end());
  const int length = static_cast<int>(wide.size());
  // No best fit: a look-alike could turn a name into a separator or a step.
  const DWORD flags = WC_NO_BEST_FIT_CHARS;
  int n = WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, "?", nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, flags, wide.data(), length, out.data(), n, "?", nullptr);
  return out;
}

std::optional<std::string> CodePageFromUtf16Exactly(std::u16string_view s) {
  if (s.empty()) return std::string();
  if (s.size() > INT_MAX) return std::nullopt;
  const std::wstring wide(s.begin(), s.end());
  const int length = static_cast<int>(wide.size());
  // UTF-8 as the system code page holds everything but takes no default
  // character; the round trip below still catches lone surrogates.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* used = utf8 ? nullptr : &usedDefault;
  int n = WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, used);
  if (n <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, flags, wide.data(), length, out.data(), n, nullptr, used);
  if (usedDefault || CodePageToUtf16(out) != s) return std::nullopt;
  return out;
}

std::string CodePageLower(std::string_view s) {
  std::string out(s);
  if (!out.empty() && out.size() <= 0xFFFFFFFFu) CharLowerBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

}  // namespace ferry
