// The run log of silent mode: every message, question and progress line goes
// to standard error and, when /LOG= named a file, to that file. Texts are
// UTF-8; a carriage return inside a text (the message boxes' line break)
// starts a new line. Safe to use from the main and the setup thread.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "base/system_path.h"

namespace ferry {

class RunLog {
 public:
  // toStandardError: whether lines also go to standard error.
  explicit RunLog(bool toStandardError = true);
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Creates (or truncates) the log file; false when it cannot be created.
  bool OpenFile(const NativePath& path);
  bool HasFile() const { return file_ != nullptr; }

  // One entry: the text with its line breaks normalised, then a line end.
  void Line(std::string_view utf8);
  // A message as a box would show it: "caption: text".
  void Message(std::string_view captionUtf8, std::string_view textUtf8);

  // The text and a line end on standard output; false when the program has
  // none (a windowed program started without a console or a redirection).
  static bool WriteStandardOutput(std::string_view utf8);

  // Turns CR LF, lone CR and LF into `lineEnd`.
  static std::string NormaliseBreaks(std::string_view text, std::string_view lineEnd);

 private:
  static void WriteAll(void* handle, const std::string& bytes);

  // Win32 handles, kept as void* so this header stays free of <windows.h>.
  // Standard error is taken at construction: a later file opened through
  // the C runtime may take its descriptor and redirect the process's handle.
  void* stderr_ = nullptr;
  void* file_ = nullptr;
  std::mutex mutex_;
};

}  // namespace ferry
