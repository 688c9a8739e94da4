// Which Windows the program runs on: product, edition and service pack.
//
// OsInfo works on the version data read once at start (OSVersionData:
// the basic and the extended version query, the registry product type and
// hot-fix key, two system metrics); the decisions below use nothing else,
// so they are the same for data read from Windows (platform/os_info_win.h)
// and data made up in a test.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ferry {

enum OsProduct : uint8_t {
  osUnknown = 0,
  osWin95,
  osWin98,
  osWinMe,
  osWinNT4,
  osWin2000,
  osWinXP,
  osWinServer2003,
  osWinVista,
};

enum OsProductType : uint8_t {
  ptNotNT = 0,
  ptUnknown,
  ptWorkstation,
  ptServer,
  ptDomainController,
  ptAdvancedServer,
};

inline constexpr uint32_t kPlatformWin9x = 1;  // VER_PLATFORM_WIN32_WINDOWS
inline constexpr uint32_t kPlatformNT = 2;     // VER_PLATFORM_WIN32_NT

// Suite bits of the extended query.
inline constexpr uint16_t kSuiteEnterprise = 2;
inline constexpr uint16_t kSuiteDataCenter = 128;
inline constexpr uint16_t kSuitePersonal = 512;
inline constexpr uint16_t kSuiteBlade = 1024;

struct OSVersionData {
  // Basic query.
  uint32_t PlatformId = 0;
  uint32_t MajorVersion = 0;
  uint32_t MinorVersion = 0;
  uint32_t BuildNumber = 0;  // as reported
  std::string CSDVersion;    // service-pack text
  // Extended query; zeros when it failed.
  bool HaveExtendedInfo = false;
  uint16_t ServicePackMajor = 0;
  uint16_t ServicePackMinor = 0;
  uint16_t SuiteMask = 0;
  uint8_t ProductTypeCode = 0;
  // HKLM "SYSTEM\CurrentControlSet\Control\ProductOptions" value
  // "ProductType"; none when the key or the value is missing.
  std::optional<std::string> RegistryProductType;
  // HKLM "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Hotfix\Q246009" exists.
  bool HasQ246009 = false;
  bool MediaCenter = false;  // system metric 87
  bool TabletPC = false;     // system metric 86
};

class OsInfo {
 public:
  explicit OsInfo(OSVersionData data) : d_(std::move(data)) {}

  bool IsWin9x() const { return d_.PlatformId == kPlatformWin9x; }
  bool IsNT() const { return d_.PlatformId == kPlatformNT; }
  OsProduct Product() const;
  OsProductType ProductType() const;
  bool IsServer() const;
  bool HasSuite(uint16_t bit) const { return (d_.SuiteMask & bit) != 0; }
  bool IsMediaCenter() const { return d_.MediaCenter; }
  bool IsTabletPC() const { return d_.TabletPC; }
  bool IsNT4SP6a() const;
  std::string Edition() const;
  std::string ServicePack() const;
  uint16_t ServicePackMajor() const { return d_.ServicePackMajor; }
  uint16_t ServicePackMinor() const { return d_.ServicePackMinor; }
  uint32_t BuildNumber() const { return d_.BuildNumber; }

  // "Windows XP Professional"; the blank stays when the edition is empty.
  std::string ProductLine() const;
  const OSVersionData& Data() const { return d_; }

  static std::string_view ProductName(OsProduct p);

 private:
  OsProductType RegistryProductType() const;

  OSVersionData d_;
};

}  // namespace ferry
