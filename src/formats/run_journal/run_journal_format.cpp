#include "formats/run_journal/run_journal_format.h"

#include <algorithm>
#include <cstring>

#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/random_access_file.h"
#include "formats/pak/crc32.h"

namespace ferry {

namespace {

constexpr char kMagic[4] = {'F', 'R', 'J', '1'};
// Paths and registry values of a run stay far below this; a larger count is damage.
constexpr uint32_t kMaxString = 1u << 20;

void PutString(ByteWriter& w, std::string_view s) {
  w.U32(static_cast<uint32_t>(s.size()));
  w.String(s);
}

bool GetString(ByteReader& r, std::string& out) {
  uint32_t n = r.U32();
  if (r.Failed() || n > kMaxString || !r.Has(n)) return false;
  out = r.String(n);
  return true;
}

void EncodeBody(ByteWriter& w, const JournalRecord& rec) {
  switch (rec.Kind) {
    case JournalRecordKind::kFileCreated:
    case JournalRecordKind::kFolderCreated:
    case JournalRecordKind::kFolderRemoved:
      PutString(w, rec.Path);
      break;
    case JournalRecordKind::kFileSetAside:
    case JournalRecordKind::kFileRenamed:
      PutString(w, rec.Path);
      PutString(w, rec.Other);
      break;
    case JournalRecordKind::kRegistryValue:
      w.U8(rec.Root);
      PutString(w, rec.Path);
      PutString(w, rec.Other);
      w.U8(static_cast<uint8_t>((rec.Existed ? 1 : 0) | (rec.KeyExisted ? 2 : 0) | (rec.WasDword ? 4 : 0)));
      PutString(w, rec.Value);
      break;
    case JournalRecordKind::kArchiveUpdate:
      w.U8(static_cast<uint8_t>(rec.Archive));
      PutString(w, rec.Path);
      break;
    case JournalRecordKind::kCommitting:
      break;
    case JournalRecordKind::kUndone:
      w.U32(rec.Index);
      break;
    case JournalRecordKind::kFilePlaced:
      PutString(w, rec.Path);
      PutString(w, rec.Other);
      PutString(w, rec.Aside);
      break;
  }
}

bool DecodeBody(ByteReader& r, JournalRecord& rec) {
  switch (rec.Kind) {
    case JournalRecordKind::kFileCreated:
    case JournalRecordKind::kFolderCreated:
    case JournalRecordKind::kFolderRemoved:
      return GetString(r, rec.Path);
    case JournalRecordKind::kFileSetAside:
    case JournalRecordKind::kFileRenamed:
      return GetString(r, rec.Path) && GetString(r, rec.Other);
    case JournalRecordKind::kRegistryValue: {
      rec.Root = r.U8();
      if (!GetString(r, rec.Path) || !GetString(r, rec.Other)) return false;
      uint8_t flags = r.U8();
      rec.Existed = (flags & 1) != 0;
      rec.KeyExisted = (flags & 2) != 0;
      rec.WasDword = (flags & 4) != 0;
      return flags <= 7 && GetString(r, rec.Value);
    }
    case JournalRecordKind::kArchiveUpdate: {
      uint8_t kind = r.U8();
      if (kind != 1 && kind != 2) return false;
      rec.Archive = static_cast<JournalArchiveKind>(kind);
      return GetString(r, rec.Path);
    }
    case JournalRecordKind::kCommitting:
      return true;
    case JournalRecordKind::kUndone:
      rec.Index = r.U32();
      return !r.Failed();
    case JournalRecordKind::kFilePlaced:
      return GetString(r, rec.Path) && GetString(r, rec.Other) && GetString(r, rec.Aside);
  }
  return false;
}

bool KnownKind(uint8_t kind) { return kind >= 1 && kind <= 10; }

// The header at the start of bytes; `end` is where it ends.
std::optional<JournalHeader> ParseHeader(std::span<const uint8_t> bytes, size_t& end) {
  ByteReader r(bytes);
  if (!r.Has(4) || std::memcmp(r.Bytes(4).data(), kMagic, 4) != 0) return std::nullopt;
  JournalHeader header;
  header.ProcessId = r.U32();
  header.ProcessStart = r.U64();
  if (!GetString(r, header.InstallFolder)) return std::nullopt;
  const size_t headerEnd = r.Position();
  if (r.U32() != Crc32(bytes.first(headerEnd)) || r.Failed()) return std::nullopt;
  end = r.Position();
  return header;
}

// The record at the reader's position, which then moves past it.
std::optional<JournalRecord> ParseRecord(ByteReader& r, std::span<const uint8_t> bytes) {
  const size_t start = r.Position();
  uint8_t kind = r.U8();
  uint32_t length = r.U32();
  if (r.Failed() || !KnownKind(kind) || !r.Has(length) || r.Remaining() - length < 4) return std::nullopt;
  std::span<const uint8_t> body = r.Bytes(length);
  uint32_t crc = r.U32();
  if (crc != Crc32(bytes.subspan(start, 5 + length))) return std::nullopt;
  JournalRecord rec;
  rec.Kind = static_cast<JournalRecordKind>(kind);
  ByteReader br(body);
  if (!DecodeBody(br, rec) || !br.AtEnd()) return std::nullopt;
  return rec;
}

// Kind and body length: the part of a record read before the rest.
constexpr size_t kRecordHead = 5;
constexpr size_t kRecordTail = 4;
// Header bytes before the install folder's own.
constexpr size_t kHeaderHead = 4 + 4 + 8 + 4;
// Bodies hold at most a few strings of kMaxString bytes.
constexpr uint32_t kMaxBody = 4 * (kMaxString + 4) + 8;

}  // namespace

std::vector<uint8_t> EncodeJournalHeader(const JournalHeader& header) {
  ByteWriter w;
  w.String(std::string_view(kMagic, 4));
  w.U32(header.ProcessId);
  w.U64(header.ProcessStart);
  PutString(w, header.InstallFolder);
  w.U32(Crc32(w.Data()));
  return w.Take();
}

std::vector<uint8_t> EncodeJournalRecord(const JournalRecord& record) {
  ByteWriter body;
  EncodeBody(body, record);
  ByteWriter w;
  w.U8(static_cast<uint8_t>(record.Kind));
  w.U32(static_cast<uint32_t>(body.Size()));
  w.Bytes(body.Data());
  w.U32(Crc32(w.Data()));
  return w.Take();
}

std::optional<RunJournalContents> ParseRunJournal(std::span<const uint8_t> bytes) {
  RunJournalContents out;
  size_t start = 0;
  std::optional<JournalHeader> header = ParseHeader(bytes, start);
  if (!header) return std::nullopt;
  out.Header = std::move(*header);
  ByteReader r(bytes);
  r.Skip(start);
  while (!r.AtEnd()) {
    const size_t at = r.Position();
    std::optional<JournalRecord> rec = ParseRecord(r, bytes);
    if (!rec) {
      r.Seek(at);
      break;
    }
    out.Records.push_back(std::move(*rec));
  }
  out.Torn = !r.AtEnd();
  return out;
}

std::optional<JournalHeader> ReadJournalHeader(RandomAccessFile& file, uint64_t& offset) {
  std::vector<uint8_t> head = file.ReadVector(0, kHeaderHead);
  if (head.size() < kHeaderHead) return std::nullopt;
  ByteReader r(head);
  r.Skip(kHeaderHead - 4);
  const uint32_t folder = r.U32();
  if (folder > kMaxString) return std::nullopt;
  std::vector<uint8_t> bytes = file.ReadVector(0, kHeaderHead + folder + 4);
  size_t end = 0;
  std::optional<JournalHeader> header = ParseHeader(bytes, end);
  if (header) offset = end;
  return header;
}

std::optional<JournalRecord> ReadJournalRecord(RandomAccessFile& file, uint64_t& offset) {
  JournalReader reader(file, offset, 0);  // one record: only its bytes
  uint64_t start = 0;
  std::optional<JournalRecord> rec = reader.Next(start);
  if (rec) offset = reader.Offset();
  return rec;
}

std::span<const uint8_t> JournalReader::Window(size_t n) {
  const uint64_t have = block_.size();
  if (offset_ < block_at_ || offset_ - block_at_ > have || n > have - (offset_ - block_at_)) {
    block_at_ = offset_;
    block_ = file_.ReadVector(offset_, std::max(n, block_size_));
  }
  const size_t from = static_cast<size_t>(offset_ - block_at_);
  return std::span<const uint8_t>(block_).subspan(from, std::min(n, block_.size() - from));
}

std::optional<JournalRecord> JournalReader::Next(uint64_t& start) {
  start = offset_;
  std::span<const uint8_t> head = Window(kRecordHead);
  if (head.size() < kRecordHead) return std::nullopt;
  ByteReader hr(head);
  hr.U8();
  const uint32_t length = hr.U32();
  if (length > kMaxBody) return std::nullopt;
  std::span<const uint8_t> bytes = Window(kRecordHead + length + kRecordTail);
  ByteReader r(bytes);
  std::optional<JournalRecord> rec = ParseRecord(r, bytes);
  if (rec) offset_ += r.Position();
  return rec;
}

std::string DescribeJournalRecord(const JournalRecord& rec) {
  switch (rec.Kind) {
    case JournalRecordKind::kFileCreated:
      return "created file    " + rec.Path;
    case JournalRecordKind::kFileSetAside:
      return "set aside       " + rec.Path + " as " + rec.Other;
    case JournalRecordKind::kFileRenamed:
      return "moved           " + rec.Path + " to " + rec.Other;
    case JournalRecordKind::kFolderCreated:
      return "created folder  " + rec.Path;
    case JournalRecordKind::kFolderRemoved:
      return "remove folder   " + rec.Path;
    case JournalRecordKind::kRegistryValue:
      return "registry value  root " + std::to_string(rec.Root) + " " + rec.Path + " [" + rec.Other + "]" +
             (rec.Existed ? std::string(rec.WasDword ? " was DWORD " : " was ") + "\"" + rec.Value + "\""
                         : " was not there");
    case JournalRecordKind::kArchiveUpdate:
      return std::string(rec.Archive == JournalArchiveKind::kVfs ? "vfs update      " : "package update  ") +
             rec.Path;
    case JournalRecordKind::kCommitting:
      return "run finished: set-aside files are being deleted";
    case JournalRecordKind::kUndone:
      return "undone          record " + std::to_string(rec.Index);
    case JournalRecordKind::kFilePlaced:
      return "placed file     " + rec.Path + " (written as " + rec.Other + ")" +
             (rec.Aside.empty() ? std::string() : ", the old one set aside as " + rec.Aside);
  }
  return "?";
}

}  // namespace ferry
