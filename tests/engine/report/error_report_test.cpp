#include "engine/report/error_report.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace ferry {
namespace {

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

TEST(ErrorReport, ValueLinesPadTheKeyTo22) {
  EXPECT_EQ(ErrorReportLine("ID", "RKPF"), "ID                     : RKPF");
  EXPECT_EQ(ErrorReportLine("1234567890123456789012", "v"), "1234567890123456789012 : v");
  EXPECT_EQ(ErrorReportLine("12345678901234567890123", "v"), "12345678901234567890123 : v");
  EXPECT_EQ(ErrorReportLine("Empty", ""), "Empty                  : ");
}

TEST(ErrorReport, MaskedParams) {
  EXPECT_EQ(MaskedParams({"/x", "/j", "alpha", "beta", "/y"}), "/x /j X X.X.X.X /y");
  EXPECT_EQ(MaskedParams({"/J", "only"}), "/j X X.X.X.X");
  EXPECT_EQ(MaskedParams({"/J"}), "/j X X.X.X.X");
  EXPECT_EQ(MaskedParams({"/jx", "a"}), "/jx a");
  EXPECT_EQ(MaskedParams({}), "");
  EXPECT_EQ(MaskedParams({"C:\\a b\\setup.exe"}), "C:\\a b\\setup.exe");
}

TEST(ErrorReport, FileNamesAndFirstFreePath) {
  EXPECT_EQ(ErrorReportFileName(0), "ErrorLog0000.TXT");
  EXPECT_EQ(ErrorReportFileName(42), "ErrorLog0042.TXT");
  EXPECT_EQ(ErrorReportFileName(12345), "ErrorLog12345.TXT");
  std::set<std::string> present = {"C:\\Temp\\\\ErrorLog0000.TXT", "C:\\Temp\\\\ErrorLog0001.TXT"};
  auto exists = [&](const std::string& p) { return present.count(p) > 0; };
  EXPECT_EQ(ErrorReportPath("C:\\Temp\\", exists), "C:\\Temp\\\\ErrorLog0002.TXT");
  EXPECT_EQ(ErrorReportPath("C:\\Other\\", exists), "C:\\Other\\\\ErrorLog0000.TXT");
}

TEST(ErrorReport, MessageText) {
  EXPECT_EQ(ErrorReportMessage("", "boom", "C:\\T\\\\ErrorLog0000.TXT"),
            "Unknown Error: boom\r\rError Log Created. Please Include \"C:\\T\\\\ErrorLog0000.TXT\" with your bug "
            "report");
  EXPECT_EQ(ErrorReportMessage("Verification Stage", "x", "p").substr(0, 26), "Verification Stage Error: ");
}

TEST(ErrorReport, MemoryAndCpuFigures) {
  EXPECT_EQ(PhysicalMemoryMB(512ull << 20), 513u);
  EXPECT_EQ(PhysicalMemoryMB((512ull << 20) - 1), 512u);
  EXPECT_EQ(PhysicalMemoryMB(0), 1u);
  EXPECT_EQ(CpuMhzFromCounter(1000, 1000 + 1'500'000'000ull), 3000u);
  EXPECT_EQ(CpuMhzFromCounter(0, 1'249'999), 2u);  // nearest whole number
  EXPECT_EQ(CpuMhzFromCounter(0, 1'250'001), 3u);
  // The counter difference is taken in 32 bits.
  EXPECT_EQ(CpuMhzFromCounter(0, (1ull << 32) + 500'000), 1u);
  EXPECT_EQ(CpuMhzFromCounter(0xFFFFFFFFull, 0x1'0000'0000ull + 499'999), 1u);
}

TEST(ErrorReport, WholeLayout) {
  ErrorReportData d;
  d.Source.SetupTitle = "Demo Game";
  d.Source.SetupExeName = "setup.exe";
  d.Source.PakMagic = "RKPF";
  d.Source.PakVersion = 1;
  d.Source.PakEntryCount = 21;
  d.Source.Params = {"/x", "/J", "a", "b", "/y"};
  d.ErrorText = "Access violation";
  d.Product = "Windows Vista ";
  d.BuildNumber = 7601;
  d.ServicePack = "Service Pack 1";
  d.ServicePackMajor = 1;
  d.PhysicalMemoryMB = 2049;
  d.CpuMhz = 2400;
  std::vector<std::string> lines = SplitCrLf(FormatErrorReport(d));
  std::vector<std::string> expected = {
      "General Info",
      "------------",
      "Setup Name             : Demo Game",
      "Setup EXE Name         : setup.exe",
      "",
      "Pak Info",
      "--------",
      "ID                     : RKPF",
      "Version                : 1",
      "Count                  : 21",
      "",
      "ErrorType              : Unknown",
      "ErrorText              : Access violation",
      "",
      "Params                 : /x /j X X.X.X.X /y",
      "ParamCount             : 5",
      "",
      "Windows Info",
      "------------",
      "Product                : Windows Vista ",
      "BuildNumber            : 7601",
      "ServicePack            : Service Pack 1",
      "ServicePackMajor       : 1",
      "ServicePackMinor       : 0",
      "",
      "Physical Memory        : 2049MB",
      "CPU Speed              : 2400Mhz",
  };
  EXPECT_EQ(lines, expected);
  d.ErrorType = "Setup Thread";
  EXPECT_EQ(SplitCrLf(FormatErrorReport(d))[11], "ErrorType              : Setup Thread");
}

}  // namespace
}  // namespace ferry
