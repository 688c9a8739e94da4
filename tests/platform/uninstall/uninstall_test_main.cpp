// The uninstall tests' entry point: a copy of this program that
// ScheduleSelfRemoval starts does the removal instead of running tests.
#include <gtest/gtest.h>

#include "platform/uninstall/self_removal.h"

int main(int argc, char** argv) {
  if (std::optional<int> rc = ferry::RunSelfRemovalIfAsked()) return *rc;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
