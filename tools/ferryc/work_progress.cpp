#include "work_progress.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace ferry::tool {

bool StandardErrorIsTerminal() {
#ifdef _WIN32
  return _isatty(2) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

std::string Percent(uint64_t part, uint64_t whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %%", whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0);
  return text;
}

WorkProgress::WorkProgress(bool show)
    : show_(show && StandardErrorIsTerminal()), start_(std::chrono::steady_clock::now()) {}

void WorkProgress::SetTotal(size_t files, uint64_t bytes) {
  total_files_ = files;
  total_bytes_ = bytes;
}

void WorkProgress::Step(size_t filesDone, uint64_t bytesDone) {
  if (!show_) return;
  auto now = std::chrono::steady_clock::now();
  if (drawn_width_ && filesDone < total_files_ && now - last_draw_ < std::chrono::milliseconds(100)) return;
  last_draw_ = now;
  constexpr double kMiB = 1024.0 * 1024.0;
  char line[160];
  int n = std::snprintf(line, sizeof line, "[%3u%%] %zu/%zu files, %.1f/%.1f MiB",
                        total_bytes_ ? static_cast<unsigned>(100 * bytesDone / total_bytes_) : 100u, filesDone,
                        total_files_, static_cast<double>(bytesDone) / kMiB, static_cast<double>(total_bytes_) / kMiB);
  size_t width = n > 0 ? static_cast<size_t>(n) : 0;
  // A shorter line than the last one leaves no tail of it behind.
  std::fprintf(stderr, "\r%s%*s", line, static_cast<int>(drawn_width_ > width ? drawn_width_ - width : 0), "");
  std::fflush(stderr);
  if (width > drawn_width_) drawn_width_ = width;
}

void WorkProgress::Finish() {
  if (!show_ || !drawn_width_) return;
  std::fprintf(stderr, "\r%*s\r", static_cast<int>(drawn_width_), "");
  std::fflush(stderr);
  drawn_width_ = 0;
}

double WorkProgress::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

}  // namespace ferry::tool
