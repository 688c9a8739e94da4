// Packages made in memory, in each of the trailer forms a reader meets.
#pragma once

#include <string>
#include <vector>

#include "formats/package/package_format.h"
#include "base/byte_writer.h"

namespace ferry::test {

struct PackageBuilder {
  std::vector<uint8_t> bytes;
  std::vector<PackageEntry> entries;

  // Appends a kind-2 entry holding `text`.
  PackageBuilder& Add(const std::string& name, std::string_view text, uint32_t date = 0x5A210000) {
    std::vector<uint8_t> data(text.begin(), text.end());
    auto stored = PackageDeflate(data);
    ScrambleHead(stored);
    PackageEntry e;
    e.Marker = kPackageEntryMarker;
    e.Kind = kZlibEntryKind;
    e.FileDate = date;
    e.StoredSize = static_cast<uint32_t>(stored.size());
    e.OrigSize = static_cast<uint32_t>(data.size());
    e.DataOffset = static_cast<uint32_t>(bytes.size());
    e.Name = name;
    bytes.insert(bytes.end(), stored.begin(), stored.end());
    entries.push_back(e);
    return *this;
  }

  // Data, directory, header and an "RKP3"/"EIH2" trailer.
  std::vector<uint8_t> Rkp3(const PackageExtraInfo& info = {}, uint8_t k1 = 3, uint8_t k2 = 4) const {
    auto out = bytes;
    auto tail = BuildPackageTail(entries, info, 0, k1, k2);
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
  }
  // Data, directory and header only.
  std::vector<uint8_t> NoTrailer() const {
    auto out = Rkp3();
    out.resize(out.size() - TrailerLength(Rkp3()));
    return out;
  }
  std::vector<uint8_t> Rkp2(std::string_view password9) const {
    auto out = NoTrailer();
    out.insert(out.end(), {'R', 'K', 'P', '2'});
    std::string p(password9);
    p.resize(9, '\0');
    out.insert(out.end(), p.begin(), p.end());
    return out;
  }
  // "RKP3" with an "EIH1" block (no official byte).
  std::vector<uint8_t> Eih1(const std::string& enciphered, uint8_t k1, uint8_t k2, uint8_t reserved = 0) const {
    auto out = NoTrailer();
    ByteWriter w;
    w.String("RKP3");
    w.U8(1);
    w.U8(reserved);
    w.String("EIH1");
    w.U8(k1);
    w.U8(k2);
    w.LenString(enciphered);
    out.insert(out.end(), w.Data().begin(), w.Data().end());
    return out;
  }

  // Length of the "RKP3"/"EIH2" trailer at the end of `package`.
  static size_t TrailerLength(const std::vector<uint8_t>& package) {
    MemoryFile f(package);
    return ReadPackageTrailer(f).Length;
  }
};

}  // namespace ferry::test
