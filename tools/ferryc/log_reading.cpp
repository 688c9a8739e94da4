#include "log_reading.h"

#include "formats/install_log/uninstall_list.h"

namespace ferry::tool {

LogReport DescribeInstallLog(std::span<const uint8_t> data) {
  UninstallList log;
  log.LoadFromBuffer(data);
  LogReport r;
  for (const std::string& f : log.Files()) r.Text += "file " + f + "\n";
  for (const std::string& e : log.RegistryEntries()) r.Text += "registry " + e + "\n";
  for (const std::string& d : log.Directories()) r.Text += "folder " + d + "\n";
  r.Text += "# " + std::to_string(log.Files().size()) + " files, " + std::to_string(log.RegistryEntries().size()) +
            " registry values, " + std::to_string(log.Directories().size()) + " folders\n";
  // A sound log is exactly what its lists save to again.
  std::vector<uint8_t> again = log.SaveToBuffer();
  r.Sound = again.size() == data.size() && std::equal(again.begin(), again.end(), data.begin());
  if (!r.Sound)
    r.Text += "# damaged: the file has " + std::to_string(data.size()) + " bytes, the records read account for " +
              std::to_string(again.size()) + "\n";
  return r;
}

}  // namespace ferry::tool
