#include "engine/report/os_info.h"

#include "base/number_text.h"
#include "base/text.h"

namespace ferry {

std::string_view OsInfo::ProductName(OsProduct p) {
  static constexpr std::string_view kNames[] = {
      "Unknown OS",  "Windows 95",   "Windows 98",         "Windows Me",    "Windows NT4",
      "Windows 2000", "Windows XP", "Windows Server2003", "Windows Vista",
  };
  return p <= osWinVista ? kNames[p] : kNames[0];
}

OsProduct OsInfo::Product() const {
  uint32_t major = d_.MajorVersion, minor = d_.MinorVersion;
  if (IsWin9x()) {
    if (major == 4 && minor == 0) return osWin95;
    if (major == 4 && minor == 10) return osWin98;
    if (major == 4 && minor == 90) return osWinMe;
  } else if (IsNT()) {
    if (major == 4 && minor == 0) return osWinNT4;
    if (major == 5 && minor == 0) return osWin2000;
    if (major == 5 && minor == 1) return osWinXP;
    if (major == 5 && minor == 2) return osWinServer2003;
    if (major == 6) return osWinVista;
  }
  return osUnknown;
}

OsProductType OsInfo::RegistryProductType() const {
  if (!d_.RegistryProductType) return ptUnknown;
  const std::string& t = *d_.RegistryProductType;
  if (EqualsNoCase(t, "WINNT")) return ptWorkstation;
  if (EqualsNoCase(t, "LANMANNT")) return ptServer;
  if (EqualsNoCase(t, "SERVERNT")) return ptAdvancedServer;
  return ptUnknown;
}

OsProductType OsInfo::ProductType() const {
  if (!IsNT()) return ptNotNT;
  if (!d_.HaveExtendedInfo) return RegistryProductType();
  switch (d_.ProductTypeCode) {
    case 1: return ptWorkstation;
    case 2: return ptDomainController;
    case 3: return ptServer;
    default: return ptUnknown;
  }
}

bool OsInfo::IsServer() const {
  OsProductType t = ProductType();
  return t == ptServer || t == ptDomainController || t == ptAdvancedServer;
}

bool OsInfo::IsNT4SP6a() const {
  return Product() == osWinNT4 && EqualsNoCase(d_.CSDVersion, "Service Pack 6") && d_.HasQ246009;
}

std::string OsInfo::Edition() const {
  if (!IsNT()) return {};
  OsProduct product = Product();
  if (!d_.HaveExtendedInfo) {
    const char* name = nullptr;
    switch (RegistryProductType()) {
      case ptWorkstation: name = "WorkStation"; break;
      case ptServer: name = "Server"; break;
      case ptAdvancedServer: name = "Advanced Server"; break;
      default: return {};
    }
    return std::string(name) + " " + DecimalText(d_.MajorVersion) + "." + DecimalText(d_.MinorVersion);
  }
  if (IsServer()) {
    switch (product) {
      case osWinNT4:
        return HasSuite(kSuiteEnterprise) ? "Server 4.0, Enterprise Edition" : "Server 4.0";
      case osWin2000:
        if (HasSuite(kSuiteDataCenter)) return "Datacenter Server";
        if (HasSuite(kSuiteEnterprise)) return "Advanced Server";
        return "Standard Edition";
      case osWinServer2003:
        if (HasSuite(kSuiteDataCenter)) return "DataCenter Edition";
        if (HasSuite(kSuiteEnterprise)) return "Enterprise Edition";
        if (HasSuite(kSuiteBlade)) return "Web Edition";
        return "Standard Edition";
      default: return {};
    }
  }
  switch (product) {
    case osWinNT4: return "Workstation 4.0";
    case osWin2000: return "Professional";
    case osWinXP:
      if (IsMediaCenter()) return "Media Center Edition";
      if (IsTabletPC()) return "Tablet PC Edition";
      if (HasSuite(kSuitePersonal)) return "Home Edition";
      return "Professional";
    default: return {};
  }
}

std::string OsInfo::ServicePack() const {
  if (IsWin9x()) {
    if (d_.CSDVersion.empty()) return {};
    char first = d_.CSDVersion[0];
    if (first >= 'a' && first <= 'z') first = static_cast<char>(first - 'a' + 'A');
    switch (Product()) {
      case osWin95: return first == 'B' || first == 'C' ? "OSR2" : "";
      case osWin98: return first == 'A' ? "SE" : "";
      default: return {};
    }
  }
  if (IsNT()) return IsNT4SP6a() ? "Service Pack 6a" : d_.CSDVersion;
  return {};
}

std::string OsInfo::ProductLine() const {
  return std::string(ProductName(Product())) + " " + Edition();
}

}  // namespace ferry
