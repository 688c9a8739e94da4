// The error report: a plain-text file in the temporary folder written when
// an error escapes one of the program's stages. This header holds the text
// side; platform/error_report_win.h gathers the figures from Windows,
// writes the file, tells the user and opens it.
//
// Layout: 8-bit text, CR LF line ends. A section title is followed by a line
// of "-" as long as the title; a value line is "%-22s : %s".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ferry {

// What the program knows about itself when the error happens. Values not
// read yet (no setup information, no archive) stay empty or 0.
struct ErrorReportSource {
  std::string SetupTitle;
  std::string SetupExeName;
  std::string PakMagic;  // the trailer's four magic characters
  uint16_t PakVersion = 0;
  uint16_t PakEntryCount = 0;
  std::vector<std::string> Params;  // command-line parameters 1..n
};

struct ErrorReportData {
  ErrorReportSource Source;
  std::string ErrorType;  // empty: "Unknown"
  std::string ErrorText;
  std::string Product;  // display name, a blank, the edition
  uint32_t BuildNumber = 0;
  std::string ServicePack;
  uint16_t ServicePackMajor = 0;
  uint16_t ServicePackMinor = 0;
  uint64_t PhysicalMemoryMB = 0;
  uint32_t CpuMhz = 0;
};

inline constexpr std::string_view kStageVerification = "Verification Stage";
inline constexpr std::string_view kStageSetupThread = "Setup Thread";

// "%-22s : %s"
std::string ErrorReportLine(std::string_view key, std::string_view value);
// The whole file, CR LF line ends.
std::string FormatErrorReport(const ErrorReportData& data);
// The parameters joined by blanks; "/J" (any case) and the two after it
// become "/j X X.X.X.X".
std::string MaskedParams(const std::vector<std::string>& params);
// "ErrorLog" + at least four digits + ".TXT".
std::string ErrorReportFileName(uint32_t n);
// tempFolder + "\" + the first free file name; the folder keeps its own
// trailing backslash, so the path holds two before the stem.
std::string ErrorReportPath(const std::string& tempFolder, const std::function<bool(const std::string&)>& exists);
// The text of the box that tells where the report is.
std::string ErrorReportMessage(std::string_view errorType, std::string_view errorText, std::string_view path);
// Total physical bytes as whole MiB, plus 1.
uint64_t PhysicalMemoryMB(uint64_t totalBytes);
// Counter readings half a second apart to MHz; the difference is taken
// modulo 2^32, as the counter was read in 32 bits.
uint32_t CpuMhzFromCounter(uint64_t first, uint64_t second);

}  // namespace ferry
