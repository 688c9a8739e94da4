// The stub's run from its command line to its exit code, for the stub's
// entry point and for the test build's (which gives the run a fault hook).
#pragma once

namespace ferry {

class JournalFaults;

// faults: nullptr in the shipped stub.
int RunStub(JournalFaults* faults);

}  // namespace ferry
