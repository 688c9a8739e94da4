#include "engine/report/os_info.h"

#include <gtest/gtest.h>

namespace ferry {
namespace {

OSVersionData Nt(uint32_t major, uint32_t minor, uint8_t type, uint16_t suite = 0) {
  OSVersionData d;
  d.PlatformId = kPlatformNT;
  d.MajorVersion = major;
  d.MinorVersion = minor;
  d.HaveExtendedInfo = true;
  d.ProductTypeCode = type;
  d.SuiteMask = suite;
  return d;
}

OSVersionData Win9x(uint32_t minor, std::string csd) {
  OSVersionData d;
  d.PlatformId = kPlatformWin9x;
  d.MajorVersion = 4;
  d.MinorVersion = minor;
  d.CSDVersion = std::move(csd);
  return d;
}

TEST(OSInfoProduct, VersionTable) {
  EXPECT_EQ(OsInfo(Win9x(0, "")).Product(), osWin95);
  EXPECT_EQ(OsInfo(Win9x(10, "")).Product(), osWin98);
  EXPECT_EQ(OsInfo(Win9x(90, "")).Product(), osWinMe);
  EXPECT_EQ(OsInfo(Nt(4, 0, 1)).Product(), osWinNT4);
  EXPECT_EQ(OsInfo(Nt(5, 0, 1)).Product(), osWin2000);
  EXPECT_EQ(OsInfo(Nt(5, 1, 1)).Product(), osWinXP);
  EXPECT_EQ(OsInfo(Nt(5, 2, 3)).Product(), osWinServer2003);
  EXPECT_EQ(OsInfo(Nt(6, 0, 1)).Product(), osWinVista);
  EXPECT_EQ(OsInfo(Nt(6, 1, 1)).Product(), osWinVista);  // any minor
  EXPECT_EQ(OsInfo(Nt(5, 3, 1)).Product(), osUnknown);
  EXPECT_EQ(OsInfo(Nt(10, 0, 1)).Product(), osUnknown);
  OSVersionData nine = Win9x(0, "");
  nine.MajorVersion = 6;
  EXPECT_EQ(OsInfo(nine).Product(), osUnknown);
  EXPECT_EQ(OsInfo(OSVersionData{}).Product(), osUnknown);
  EXPECT_EQ(OsInfo::ProductName(osUnknown), "Unknown OS");
  EXPECT_EQ(OsInfo::ProductName(osWinServer2003), "Windows Server2003");
  EXPECT_EQ(OsInfo::ProductName(static_cast<OsProduct>(42)), "Unknown OS");
}

TEST(OSInfoProductType, ExtendedCodesAndRegistryFallBack) {
  EXPECT_EQ(OsInfo(Win9x(0, "")).ProductType(), ptNotNT);
  EXPECT_EQ(OsInfo(Nt(5, 1, 1)).ProductType(), ptWorkstation);
  EXPECT_EQ(OsInfo(Nt(5, 0, 2)).ProductType(), ptDomainController);
  EXPECT_EQ(OsInfo(Nt(5, 0, 3)).ProductType(), ptServer);
  EXPECT_EQ(OsInfo(Nt(5, 0, 9)).ProductType(), ptUnknown);
  EXPECT_TRUE(OsInfo(Nt(5, 0, 2)).IsServer());
  EXPECT_FALSE(OsInfo(Nt(5, 0, 1)).IsServer());

  OSVersionData d = Nt(4, 0, 0);
  d.HaveExtendedInfo = false;
  EXPECT_EQ(OsInfo(d).ProductType(), ptUnknown);  // no registry value
  d.RegistryProductType = "winnt";
  EXPECT_EQ(OsInfo(d).ProductType(), ptWorkstation);
  d.RegistryProductType = "LanmanNT";
  EXPECT_EQ(OsInfo(d).ProductType(), ptServer);
  d.RegistryProductType = "SERVERNT";
  EXPECT_EQ(OsInfo(d).ProductType(), ptAdvancedServer);
  EXPECT_TRUE(OsInfo(d).IsServer());
  d.RegistryProductType = "Other";
  EXPECT_EQ(OsInfo(d).ProductType(), ptUnknown);
  // The registry is not asked when the extended query worked.
  OSVersionData e = Nt(5, 1, 1);
  e.RegistryProductType = "LANMANNT";
  EXPECT_EQ(OsInfo(e).ProductType(), ptWorkstation);
}

TEST(OSInfoEdition, ServerEditionsBySuite) {
  EXPECT_EQ(OsInfo(Nt(4, 0, 3, kSuiteEnterprise)).Edition(), "Server 4.0, Enterprise Edition");
  EXPECT_EQ(OsInfo(Nt(4, 0, 3)).Edition(), "Server 4.0");
  EXPECT_EQ(OsInfo(Nt(5, 0, 3, kSuiteDataCenter | kSuiteEnterprise)).Edition(), "Datacenter Server");
  EXPECT_EQ(OsInfo(Nt(5, 0, 2, kSuiteEnterprise)).Edition(), "Advanced Server");
  EXPECT_EQ(OsInfo(Nt(5, 0, 3)).Edition(), "Standard Edition");
  EXPECT_EQ(OsInfo(Nt(5, 2, 3, kSuiteDataCenter | kSuiteBlade)).Edition(), "DataCenter Edition");
  EXPECT_EQ(OsInfo(Nt(5, 2, 3, kSuiteEnterprise | kSuiteBlade)).Edition(), "Enterprise Edition");
  EXPECT_EQ(OsInfo(Nt(5, 2, 3, kSuiteBlade)).Edition(), "Web Edition");
  EXPECT_EQ(OsInfo(Nt(5, 2, 3)).Edition(), "Standard Edition");
  EXPECT_EQ(OsInfo(Nt(6, 0, 3, kSuiteEnterprise)).Edition(), "");
}

TEST(OSInfoEdition, WorkstationEditions) {
  EXPECT_EQ(OsInfo(Nt(4, 0, 1)).Edition(), "Workstation 4.0");
  EXPECT_EQ(OsInfo(Nt(5, 0, 1)).Edition(), "Professional");
  EXPECT_EQ(OsInfo(Nt(5, 1, 1)).Edition(), "Professional");
  EXPECT_EQ(OsInfo(Nt(5, 1, 1, kSuitePersonal)).Edition(), "Home Edition");
  OSVersionData both = Nt(5, 1, 1, kSuitePersonal);
  both.MediaCenter = true;
  both.TabletPC = true;
  EXPECT_EQ(OsInfo(both).Edition(), "Media Center Edition");
  both.MediaCenter = false;
  EXPECT_EQ(OsInfo(both).Edition(), "Tablet PC Edition");
  EXPECT_EQ(OsInfo(Nt(6, 0, 1, 0xFFFF)).Edition(), "");  // Vista, whatever its suite
  EXPECT_EQ(OsInfo(Win9x(10, "A")).Edition(), "");
}

TEST(OSInfoEdition, RegistryEditionCarriesTheVersion) {
  OSVersionData d = Nt(4, 0, 0);
  d.HaveExtendedInfo = false;
  d.RegistryProductType = "LANMANNT";
  EXPECT_EQ(OsInfo(d).Edition(), "Server 4.0");
  d.RegistryProductType = "WINNT";
  EXPECT_EQ(OsInfo(d).Edition(), "WorkStation 4.0");
  d.RegistryProductType = "ServerNT";
  d.MajorVersion = 5;
  d.MinorVersion = 2;
  EXPECT_EQ(OsInfo(d).Edition(), "Advanced Server 5.2");
  d.RegistryProductType.reset();
  EXPECT_EQ(OsInfo(d).Edition(), "");
}

TEST(OSInfoServicePack, Win9xLetters) {
  EXPECT_EQ(OsInfo(Win9x(0, "B")).ServicePack(), "OSR2");
  EXPECT_EQ(OsInfo(Win9x(0, "c")).ServicePack(), "OSR2");
  EXPECT_EQ(OsInfo(Win9x(0, " B")).ServicePack(), "");  // leading blank
  EXPECT_EQ(OsInfo(Win9x(0, "A")).ServicePack(), "");
  EXPECT_EQ(OsInfo(Win9x(10, "A")).ServicePack(), "SE");
  EXPECT_EQ(OsInfo(Win9x(10, "B")).ServicePack(), "");
  EXPECT_EQ(OsInfo(Win9x(90, "A")).ServicePack(), "");
  EXPECT_EQ(OsInfo(Win9x(10, "")).ServicePack(), "");
}

TEST(OSInfoServicePack, NtTextAndSp6a) {
  OSVersionData xp = Nt(5, 1, 1);
  xp.CSDVersion = "Service Pack 2";
  xp.ServicePackMajor = 2;
  OsInfo info(xp);
  EXPECT_EQ(info.Product(), osWinXP);
  EXPECT_EQ(info.Edition(), "Professional");
  EXPECT_EQ(info.ServicePack(), "Service Pack 2");
  EXPECT_EQ(info.ServicePackMajor(), 2);
  EXPECT_EQ(info.ProductLine(), "Windows XP Professional");

  OSVersionData nt4 = Nt(4, 0, 1);
  nt4.CSDVersion = "service pack 6";
  EXPECT_FALSE(OsInfo(nt4).IsNT4SP6a());
  EXPECT_EQ(OsInfo(nt4).ServicePack(), "service pack 6");
  nt4.HasQ246009 = true;
  EXPECT_TRUE(OsInfo(nt4).IsNT4SP6a());
  EXPECT_EQ(OsInfo(nt4).ServicePack(), "Service Pack 6a");
  OSVersionData w2k = Nt(5, 0, 1);
  w2k.CSDVersion = "Service Pack 6";
  w2k.HasQ246009 = true;
  EXPECT_FALSE(OsInfo(w2k).IsNT4SP6a());

  OSVersionData other;
  other.PlatformId = 3;
  other.CSDVersion = "x";
  EXPECT_EQ(OsInfo(other).ServicePack(), "");
}

TEST(OSInfo, VistaLineKeepsTheBlank) {
  EXPECT_EQ(OsInfo(Nt(6, 0, 1)).ProductLine(), "Windows Vista ");
  EXPECT_EQ(OsInfo(Nt(10, 0, 1)).ProductLine(), "Unknown OS ");
}

}  // namespace
}  // namespace ferry
