// veltra-bench as a library: its options, and the sessions that must end in a failure.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/firmware_files.h"
#include "veltra-bench/bench_options.h"
#include "veltra-bench/bench_session.h"

namespace veltra {
namespace {

using bench::Options;
namespace fw = fwgen;

TEST(VeltraBenchOptions, ParsesFaultsStatesAndRejectsNonsense) {
  Options options;
  std::string error;
  ASSERT_TRUE(bench::ParseOptions({"f.img", "--fault", "short@12", "--state", "10", "--pid", "DF01",
                                   "--log", "x.jsonl", "--quiet"},
                                  &options, &error))
      << error;
  EXPECT_EQ(options.firmwarePath, "f.img");
  EXPECT_EQ(options.fault.kind, sim::FaultKind::kShortTransfer);
  EXPECT_EQ(options.fault.atTransfer, 12);
  EXPECT_EQ(options.startState, 10);
  EXPECT_EQ(options.pid, 0xDF01);
  EXPECT_TRUE(options.quiet);

  const std::vector<std::vector<std::string>> bad = {{},
                                                     {"f.img", "--fault", "short"},
                                                     {"f.img", "--fault", "melt@3"},
                                                     {"f.img", "--fault", "stuck@-1"},
                                                     {"f.img", "--state", "256"},
                                                     {"f.img", "--pid", "XYZ1"},
                                                     {"f.img", "--route", "fx3"},
                                                     {"f.img", "g.img"},
                                                     {"f.img", "--log"}};
  for (const auto& args : bad) {
    Options ignored;
    EXPECT_FALSE(bench::ParseOptions(args, &ignored, &error)) << args.size();
    EXPECT_FALSE(error.empty());
  }
}

// A session that ends on a camera holding the file's payloads is the demo check's (every example
// file, one session each); here the exit codes of the two ways a session fails.
TEST(VeltraBenchSession, InjectedFaultOrBadFileIsReportedAsAFailure) {
  const auto good = test::WriteTempFile(
      "fpga.img", fw::FpgaFile(fw::StampedPayload(3000, {}, 1), fw::StampedPayload(3000, {}, 2)));
  Options options;
  options.firmwarePath = good.hostPath;
  options.fault = {sim::FaultKind::kDisconnect, 12};
  std::ostringstream out;
  {
    bench::Session session(options, out);
    EXPECT_EQ(session.Run(), bench::kExitUpdateFailed);
  }
  EXPECT_NE(out.str().find("[Error] Firmware update failed. Please retry again...!!"),
            std::string::npos)
      << out.str();

  options.fault = {};
  options.firmwarePath = good.hostPath + ".missing";
  bench::Session session(options, out);
  EXPECT_EQ(session.Run(), bench::kExitBadInput);
}

}  // namespace
}  // namespace veltra
