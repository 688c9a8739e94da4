// The run log of silent mode: every message, question and progress line goes
// to standard error and, when /LOG= named a file, to that file. Texts are
// UTF-8; a carriage return inside a text (the message boxes' line break)
// starts a new line. Safe to use from the main and the setup thread.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace ferry {

class RunLog {
 public:
  // toStandardError: whether lines also go to standard error.
  explicit RunLog(bool toStandardError = true) : to_stderr_(toStandardError) {}
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Creates (or truncates) the log file; false when it cannot be created.
  bool OpenFile(const std::string& path);
  bool HasFile() const { return file_ != nullptr; }

  // One entry: the text with its line breaks normalised, then a line end.
  void Line(std::string_view utf8);
  // A message as a box would show it: "caption: text".
  void Message(std::string_view captionUtf8, std::string_view textUtf8);

  // Turns CR LF, lone CR and LF into `lineEnd`.
  static std::string NormaliseBreaks(std::string_view text, std::string_view lineEnd);

 private:
  void WriteStandardError(const std::string& bytes);

  bool to_stderr_;
  std::FILE* file_ = nullptr;
  std::mutex mutex_;
};

}  // namespace ferry
