#include <windows.h>

#include "platform/registry.h"
#include "platform/system.h"
#include "platform/os_info_win.h"

namespace ferry {

OSVersionData ReadOSVersionData() {
  OSVersionData d;
  WindowsVersion v = QueryWindowsVersion();
  d.PlatformId = v.PlatformId;
  d.MajorVersion = v.Major;
  d.MinorVersion = v.Minor;
  d.BuildNumber = v.Build;
  d.CSDVersion = v.CSDVersion;
  d.HaveExtendedInfo = v.HaveExtended;
  if (v.HaveExtended) {
    d.ServicePackMajor = v.ServicePackMajor;
    d.ServicePackMinor = v.ServicePackMinor;
    d.SuiteMask = v.SuiteMask;
    d.ProductTypeCode = v.ProductType;
  }
  d.RegistryProductType =
      RegKey::Open(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", false, true)
          .ReadString("ProductType");
  d.HasQ246009 = RegKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009");
  d.MediaCenter = SystemMetric(87) != 0;  // SM_MEDIACENTER
  d.TabletPC = SystemMetric(86) != 0;     // SM_TABLETPC
  return d;
}

}  // namespace ferry
