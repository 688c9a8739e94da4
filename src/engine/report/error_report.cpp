#include "engine/report/error_report.h"

#include "base/number_text.h"
#include "base/text.h"

namespace ferry {

namespace {

constexpr std::string_view kCrLf = "\r\n";

void Title(std::string& out, std::string_view title) {
  out.append(title).append(kCrLf);
  out.append(title.size(), '-').append(kCrLf);
}

void Value(std::string& out, std::string_view key, std::string_view value) {
  out.append(ErrorReportLine(key, value)).append(kCrLf);
}

std::string_view TypeOrUnknown(std::string_view type) { return type.empty() ? "Unknown" : type; }

}  // namespace

std::string ErrorReportLine(std::string_view key, std::string_view value) {
  std::string line(key);
  if (line.size() < 22) line.append(22 - line.size(), ' ');
  line.append(" : ").append(value);
  return line;
}

std::string FormatErrorReport(const ErrorReportData& d) {
  const ErrorReportSource& s = d.Source;
  std::string out;
  Title(out, "General Info");
  Value(out, "Setup Name", s.SetupTitle);
  Value(out, "Setup EXE Name", s.SetupExeName);
  out.append(kCrLf);
  Title(out, "Pak Info");
  Value(out, "ID", s.PakMagic);
  Value(out, "Version", std::to_string(s.PakVersion));
  Value(out, "Count", std::to_string(s.PakEntryCount));
  out.append(kCrLf);
  Value(out, "ErrorType", TypeOrUnknown(d.ErrorType));
  Value(out, "ErrorText", d.ErrorText);
  out.append(kCrLf);
  Value(out, "Params", MaskedParams(s.Params));
  Value(out, "ParamCount", std::to_string(s.Params.size()));
  out.append(kCrLf);
  Title(out, "Windows Info");
  Value(out, "Product", d.Product);
  Value(out, "BuildNumber", std::to_string(d.BuildNumber));
  Value(out, "ServicePack", d.ServicePack);
  Value(out, "ServicePackMajor", std::to_string(d.ServicePackMajor));
  Value(out, "ServicePackMinor", std::to_string(d.ServicePackMinor));
  out.append(kCrLf);
  Value(out, "Physical Memory", std::to_string(d.PhysicalMemoryMB) + "MB");
  Value(out, "CPU Speed", std::to_string(d.CpuMhz) + "Mhz");
  return out;
}

std::string MaskedParams(const std::vector<std::string>& params) {
  std::string out;
  auto add = [&out](std::string_view piece) {
    if (!out.empty()) out += ' ';
    out.append(piece);
  };
  for (size_t i = 0; i < params.size(); ++i) {
    if (EqualsNoCase(params[i], "/J")) {
      add("/j X X.X.X.X");
      i += 2;
    } else {
      add(params[i]);
    }
  }
  return out;
}

std::string ErrorReportFileName(uint32_t n) {
  return "ErrorLog" + DecimalText(n, 4) + ".TXT";
}

std::string ErrorReportPath(const std::string& tempFolder, const std::function<bool(const std::string&)>& exists) {
  for (uint32_t n = 0;; ++n) {
    std::string path = tempFolder + "\\" + ErrorReportFileName(n);
    if (!exists(path) || n == UINT32_MAX) return path;
  }
}

std::string ErrorReportMessage(std::string_view errorType, std::string_view errorText, std::string_view path) {
  std::string text(TypeOrUnknown(errorType));
  text.append(" Error: ").append(errorText).append("\r\r");
  text.append("Error Log Created. Please Include \"").append(path).append("\" with your bug report");
  return text;
}

uint64_t PhysicalMemoryMB(uint64_t totalBytes) { return totalBytes / 1024 / 1024 + 1; }

uint32_t CpuMhzFromCounter(uint64_t first, uint64_t second) {
  uint32_t diff = static_cast<uint32_t>(second - first);
  return static_cast<uint32_t>((static_cast<uint64_t>(diff) + 250'000) / 500'000);
}

}  // namespace ferry
