#include "formats/setup/comp_lines.h"

#include <algorithm>

#include "base/setup_error.h"
#include "formats/setup/buffer_manager.h"

namespace ferry {

namespace {

const std::string kNoParam;

// Smallest stored line record: three i32 and no parameters.
constexpr size_t kMinLineBytes = 12;
// Smallest stored parameter: its u16 count.
constexpr size_t kMinParamBytes = 2;

}  // namespace

const std::string& CompLine::Param(int n) const {
  if (n < 1 || static_cast<size_t>(n) > Params.size()) return kNoParam;
  return Params[static_cast<size_t>(n) - 1];
}

void CompLine::SetParam(int n, std::string text) {
  if (n < 1) return;
  if (static_cast<size_t>(n) > Params.size()) Params.resize(static_cast<size_t>(n));
  Params[static_cast<size_t>(n) - 1] = std::move(text);
  ParamCount = static_cast<int32_t>(Params.size());
}

void CompLine::AddParam(std::string text) {
  Params.push_back(std::move(text));
  ParamCount = static_cast<int32_t>(Params.size());
}

void CompLine::MakeInert() {
  CommandNo = -1;
  LineNo = -1;
  Params.clear();
  ParamCount = 0;
}

void CompLineList::LoadFromBuffer(const void* data, size_t size) {
  Lines.clear();
  BufferManager buffer(data, size);
  size_t count = buffer.ReadU16();
  Lines.reserve(std::min(count, buffer.Remaining() / kMinLineBytes + 1));
  for (size_t i = 0; i < count && buffer.Remaining() > 0; ++i) {
    CompLine line;
    line.CommandNo = buffer.ReadI32();
    line.LineNo = buffer.ReadI32();
    int32_t promised = buffer.ReadI32();
    size_t params = promised > 0 ? static_cast<size_t>(promised) : 0;
    params = std::min(params, buffer.Remaining() / kMinParamBytes);
    line.Params.reserve(params);
    for (size_t p = 0; p < params; ++p) line.Params.push_back(ReadLenString(buffer));
    line.ParamCount = static_cast<int32_t>(line.Params.size());
    Lines.push_back(std::move(line));
  }
}

std::vector<uint8_t> CompLineList::SaveToBuffer() const {
  if (Lines.size() > 0xFFFF)
    throw SetupError("Too many compiled lines: " + std::to_string(Lines.size()) + " (at most 65535)");
  ByteWriter w;
  w.U16(static_cast<uint16_t>(Lines.size()));
  for (const CompLine& line : Lines) {
    w.U32(static_cast<uint32_t>(line.CommandNo));
    w.U32(static_cast<uint32_t>(line.LineNo));
    w.U32(static_cast<uint32_t>(line.Params.size()));
    for (const std::string& p : line.Params) WriteLenString(w, p);
  }
  return w.Take();
}

}  // namespace ferry
