// The elevated copy of the running program, started through the system's
// elevation prompt ("runas"): how a setup that needs no rights for a
// user's install gets them for a machine's.
#pragma once

#include "engine/elevated_run.h"

namespace ferry {

class WinElevation : public Elevation {
 public:
  std::optional<int> RunElevatedCopy(const std::string& parameters) override;
};

}  // namespace ferry
