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
  totalFiles_ = files;
  totalBytes_ = bytes;
}

void WorkProgress::Step(size_t filesDone, uint64_t bytesDone) {
  if (!show_) return;
  auto now = std::chrono::steady_clock::now();
  if (drawnWidth_ && filesDone < totalFiles_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
  lastDraw_ = now;
  constexpr double kMiB = 1024.0 * 1024.0;
  char line[160];
  int n = std::snprintf(line, sizeof line, "[%3u%%] %zu/%zu files, %.1f/%.1f MiB",
                        totalBytes_ ? static_cast<unsigned>(100 * bytesDone / totalBytes_) : 100u, filesDone,
                        totalFiles_, static_cast<double>(bytesDone) / kMiB, static_cast<double>(totalBytes_) / kMiB);
  size_t width = n > 0 ? static_cast<size_t>(n) : 0;
  // A shorter line than the last one leaves no tail of it behind.
  std::fprintf(stderr, "\r%s%*s", line, static_cast<int>(drawnWidth_ > width ? drawnWidth_ - width : 0), "");
  std::fflush(stderr);
  if (width > drawnWidth_) drawnWidth_ = width;
}

void WorkProgress::Finish() {
  if (!show_ || !drawnWidth_) return;
  std::fprintf(stderr, "\r%*s\r", static_cast<int>(drawnWidth_), "");
  std::fflush(stderr);
  drawnWidth_ = 0;
}

double WorkProgress::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

}  // namespace ferry::tool
