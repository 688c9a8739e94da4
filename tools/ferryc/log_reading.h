// Install logs for people: the deciphered records, and whether the file is
// exactly what its records account for.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace ferry::tool {

struct LogReport {
  std::string Text;   // "file PATH", "registry RECORD", "folder PATH" lines, then '#' summaries
  bool Sound = false;
};

LogReport DescribeInstallLog(std::span<const uint8_t> data);

}  // namespace ferry::tool
