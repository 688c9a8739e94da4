#include "platform/run_log.h"

#include <windows.h>

#include "base/system_path.h"
#include "platform/win_text.h"

namespace ferry {

RunLog::RunLog(bool toStandardError) {
  if (!toStandardError) return;
  HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  if (h != nullptr && h != INVALID_HANDLE_VALUE) stderr_ = h;
}

RunLog::~RunLog() {
  if (file_) CloseHandle(file_);
}

// A plain Win32 handle, not a C runtime stream: every line reaches the disk
// when written (a crash loses nothing) and standard error stays untouched.
bool RunLog::OpenFile(const NativePath& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_) CloseHandle(file_);
  HANDLE h = CreateFileW(LongFormPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  file_ = h == INVALID_HANDLE_VALUE ? nullptr : h;
  return file_ != nullptr;
}

std::string RunLog::NormaliseBreaks(std::string_view text, std::string_view lineEnd) {
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += lineEnd;
    } else if (c == '\n') {
      out += lineEnd;
    } else {
      out += c;
    }
  }
  return out;
}

// Straight to the handle: no C runtime text-mode translation, and the
// bytes arrive in order with those of other processes sharing the stream.
void RunLog::WriteAll(void* handle, const std::string& bytes) {
  HANDLE h = static_cast<HANDLE>(handle);
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    if (!WriteFile(h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
        written == 0)
      return;
    done += written;
  }
}

void RunLog::Line(std::string_view utf8) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stderr_) WriteAll(stderr_, NormaliseBreaks(utf8, "\n") + "\n");
  if (file_) WriteAll(file_, NormaliseBreaks(utf8, "\r\n") + "\r\n");
}

bool RunLog::WriteStandardOutput(std::string_view utf8) {
  HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;
  WriteAll(h, NormaliseBreaks(utf8, "\n") + "\n");
  return true;
}

void RunLog::Message(std::string_view captionUtf8, std::string_view textUtf8) {
  std::string line(captionUtf8);
  line += ": ";
  line += textUtf8;
  Line(line);
}

}  // namespace ferry
