#include "pe_imports.h"

#include <gtest/gtest.h>

#include "base/byte_writer.h"

namespace ferry {
namespace {

constexpr uint32_t kSectionRva = 0x1000, kSectionOffset = 0x200;

// A PE image with one section holding the import and delay-import tables.
std::vector<uint8_t> MakePe(bool plus, const std::vector<std::string>& imports,
                            const std::vector<std::string>& delayed) {
  // The section: descriptors first (each table closed by a zero one), then the names.
  size_t table = 20 * (imports.size() + 1), delay_table = 32 * (delayed.size() + 1);
  ByteWriter names;
  std::vector<uint32_t> name_rvas;
  for (const auto* list : {&imports, &delayed})
    for (const std::string& n : *list) {
      name_rvas.push_back(static_cast<uint32_t>(kSectionRva + table + delay_table + names.Size()));
      names.String(n);
      names.U8(0);
    }
  ByteWriter section;
  size_t k = 0;
  for (size_t i = 0; i < imports.size(); ++i) {
    for (uint32_t v : {0u, 0u, 0u, name_rvas[k++], 0x2000u}) section.U32(v);
  }
  for (int i = 0; i < 5; ++i) section.U32(0);
  for (size_t i = 0; i < delayed.size(); ++i) {
    for (uint32_t v : {1u, name_rvas[k++], 0u, 0u, 0u, 0u, 0u, 0u}) section.U32(v);
  }
  for (int i = 0; i < 8; ++i) section.U32(0);
  section.Bytes(names.Data());

  ByteWriter w;
  w.U16(0x5A4D);
  while (w.Size() < 0x3C) w.U8(0);
  w.U32(0x40);
  w.U32(0x00004550);
  uint16_t optional_size = plus ? 240 : 224;
  for (uint16_t v : {uint16_t(plus ? 0x8664 : 0x14C), uint16_t(1)}) w.U16(v);
  for (int i = 0; i < 3; ++i) w.U32(0);
  w.U16(optional_size);
  w.U16(0x22);
  size_t optional_start = w.Size();
  w.U16(plus ? 0x20B : 0x10B);
  while (w.Size() < optional_start + (plus ? 108 : 92)) w.U8(0);
  w.U32(16);
  for (uint32_t d = 0; d < 16; ++d) {
    w.U32(d == 1 ? kSectionRva : d == 13 && !delayed.empty() ? uint32_t(kSectionRva + table) : 0);
    w.U32(d == 1 ? uint32_t(table) : d == 13 ? uint32_t(delay_table) : 0);
  }
  EXPECT_EQ(w.Size(), optional_start + optional_size);
  w.String(std::string_view(".idata\0\0", 8));
  for (uint32_t v : {uint32_t(section.Size()), kSectionRva, uint32_t(section.Size()), kSectionOffset, 0u, 0u, 0u, 0u})
    w.U32(v);
  while (w.Size() < kSectionOffset) w.U8(0);
  w.Bytes(section.Data());
  return w.Take();
}

TEST(PeImports, ReadsStaticThenDelayedNamesOfBothFormats) {
  for (bool plus : {false, true}) {
    auto dlls = ReadPeImports(MakePe(plus, {"KERNEL32.dll", "MSIMG32.dll"}, {"zlib1.dll"}));
    ASSERT_TRUE(dlls) << plus;
    EXPECT_EQ(*dlls, (std::vector<std::string>{"KERNEL32.dll", "MSIMG32.dll", "zlib1.dll"})) << plus;
  }
  auto none = ReadPeImports(MakePe(true, {}, {}));
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
}

TEST(PeImports, RefusesDamagedImages) {
  std::vector<uint8_t> good = MakePe(true, {"USER32.dll"}, {});
  struct Case {
    const char* what;
    size_t offset;
    uint8_t value;
  } cases[] = {
      {"no MZ", 0, 'X'},
      {"no PE signature", 0x40, 'X'},
      {"unknown optional-header magic", 0x58, 0x0C},
      {"import table outside every section", 0x40 + 24 + 112 + 8 + 2, 0x7F},
      {"name outside every section", kSectionOffset + 12 + 2, 0x7F},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    bad[c.offset] = c.value;
    EXPECT_FALSE(ReadPeImports(bad)) << c.what;
  }
  for (size_t cut : {size_t{0x30}, size_t{0x100}, good.size() - 4}) {
    EXPECT_FALSE(ReadPeImports(std::span(good).first(cut))) << "cut at " << cut;
  }
}

TEST(PeImports, OnlySystemOnlyDllsPass) {
  for (const char* ok : {"KERNEL32.dll", "msvcrt.dll", "COMCTL32.dll", "Shell32.DLL", "ole32.dll"})
    EXPECT_TRUE(IsSystemOnlyDll(ok)) << ok;
  for (const char* bad : {"MSIMG32.dll", "zlib1.dll", "msftedit.dll", "version.dll", "libstdc++-6.dll",
                          "kernel32", "uxtheme.dll"})
    EXPECT_FALSE(IsSystemOnlyDll(bad)) << bad;
}

}  // namespace
}  // namespace ferry
