// The compiled command stream ("CompiledLines" entry of group 0).
//
// Layout: u16 line count L, then L line records of
//   i32 CommandNo, i32 LineNo, i32 ParamCount, ParamCount counted strings.
// A line that does nothing: CommandNo -1, LineNo -1, no parameters.
//
// Damaged input: missing numbers read as 0 and missing strings as empty, but
// nothing is created for records the block cannot hold: loading stops at the
// end of the block, and a ParamCount beyond what the remaining bytes can hold
// (two bytes per string at least) is cut to that. A negative ParamCount
// reads no strings and becomes 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ferry {

struct CompLine {
  int32_t CommandNo = -1;  // 1-based command number; <= 0: the line does nothing
  std::vector<std::string> Params;
  int32_t ParamCount = 0;  // kept equal to Params.size()
  int32_t LineNo = -1;     // own 0-based index; -1 on lines that do nothing

  // Parameter n, numbered from 1; empty when the line has fewer.
  const std::string& Param(int n) const;
  // Stores text as parameter n (from 1), growing the list when needed.
  void SetParam(int n, std::string text);
  void AddParam(std::string text);
  // A line that does nothing (setting, label or blank line).
  void MakeInert();

  bool operator==(const CompLine&) const = default;
};

class CompLineList {
 public:
  std::vector<CompLine> Lines;

  void LoadFromBuffer(const void* data, size_t size);
  void LoadFromBuffer(std::span<const uint8_t> data) { LoadFromBuffer(data.data(), data.size()); }
  // The stored layout. Raises SetupError when the stream cannot be stored:
  // more than 65,535 lines or a parameter over 65,535 bytes.
  std::vector<uint8_t> SaveToBuffer() const;

  size_t Count() const { return Lines.size(); }
};

}  // namespace ferry
