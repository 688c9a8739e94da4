#include <gtest/gtest.h>

#include "formats/install_log/uninstall_list.h"
#include "log_reading.h"

namespace ferry::tool {
namespace {

TEST(InstallLogReport, ListsEveryRecordOfASoundLog) {
  UninstallList log;
  log.AddFile("$INSTDIR\\readme.txt");
  log.AddRegistryEntry("\"HKCU\" \"Software\\Demo\\\" \"Version\" \"1.2\"");
  log.AddDirectory("C:\\Program Files\\Demo\\");
  std::vector<uint8_t> bytes = log.SaveToBuffer();
  LogReport r = DescribeInstallLog(bytes);
  EXPECT_TRUE(r.Sound);
  EXPECT_EQ(r.Text,
            "file $INSTDIR\\readme.txt\n"
            "registry \"HKCU\" \"Software\\Demo\\\" \"Version\" \"1.2\"\n"
            "folder C:\\Program Files\\Demo\\\n"
            "# 1 files, 1 registry values, 1 folders\n");
}

TEST(InstallLogReport, CutOrPaddedLogsAreDamaged) {
  UninstallList log;
  log.AddFile("$INSTDIR\\a.txt");
  log.AddFile("$INSTDIR\\b.txt");
  std::vector<uint8_t> bytes = log.SaveToBuffer();
  std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 4);
  LogReport r = DescribeInstallLog(cut);
  EXPECT_FALSE(r.Sound);
  EXPECT_NE(r.Text.find("# damaged"), std::string::npos);
  bytes.push_back(0);
  EXPECT_FALSE(DescribeInstallLog(bytes).Sound);
  EXPECT_FALSE(DescribeInstallLog({}).Sound);  // not even the three counts
}

}  // namespace
}  // namespace ferry::tool
