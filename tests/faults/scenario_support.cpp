// The whole-update fixture of the application tests, built into this binary as well: the fault
// matrix drives the very same program set-up as the scenarios instead of a second copy of it.
#include "../app/app_fixture.cpp"       // NOLINT(bugprone-suspicious-include)
#include "../app/scenario_fixture.cpp"  // NOLINT(bugprone-suspicious-include)
