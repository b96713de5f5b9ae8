// veltra-bench as a library: its command line, and the sessions that must end in a failure.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/firmware_files.h"
#include "veltra-bench/bench_options.h"
#include "veltra-bench/bench_session.h"

namespace veltra {
namespace {

using bench::Options;
using bench::Parsed;
namespace fw = fwgen;

TEST(VeltraBenchOptions, TakesTodaysInvocationAndEveryRouteAndRefusesNonsense) {
  Options options;
  std::string text;
  ASSERT_EQ(bench::ParseCommandLine({"f.img", "--fault", "short@12", "--state", "10", "--pid",
                                     "df01", "--log", "x.jsonl", "--quiet"},
                                    &options, &text),
            Parsed::kRun)
      << text;
  EXPECT_EQ(options.route, "dfu");
  EXPECT_EQ(options.firmwarePath, "f.img");
  EXPECT_EQ(options.fault.kind, sim::FaultKind::kShortTransfer);
  EXPECT_EQ(options.fault.atTransfer, 12);
  EXPECT_EQ(options.startState, 10);
  EXPECT_EQ(options.pid, 0xDF01);
  EXPECT_TRUE(options.quiet);

  ASSERT_EQ(bench::ParseCommandLine({"--help"}, &options, &text), Parsed::kHelp);
  for (const auto& route : bench::kRoutes) {
    EXPECT_NE(text.find(std::string("\n  ") + route.name), std::string::npos) << route.name;
    Options routed;
    EXPECT_EQ(bench::ParseCommandLine({route.name, "f.img"}, &routed, &text), Parsed::kRun);
    EXPECT_EQ(routed.route, route.name);
  }

  const std::vector<std::vector<std::string>> bad = {{},
                                                     {"f.img", "--fault", "short"},
                                                     {"f.img", "--fault", "melt@3"},
                                                     {"f.img", "--fault", "stuck@-1"},
                                                     {"f.img", "--state", "256"},
                                                     {"f.img", "--pid", "1234"},
                                                     {"f.img", "--frobnicate"},
                                                     {"f.img", "g.img"},
                                                     {"pesca"},
                                                     {"pesca", "f.img", "--pid", "DF01"},
                                                     {"f.img", "--log"}};
  for (const auto& args : bad) {
    Options ignored;
    EXPECT_EQ(bench::ParseCommandLine(args, &ignored, &text), Parsed::kError) << args.size();
    EXPECT_FALSE(text.empty());
  }
}

// A session that ends on a camera holding the file is the demo check's (every route, one session
// each); here the exit codes of the ways a session fails, and where it says so.
TEST(VeltraBenchSession, InjectedFaultOrBadFileIsReportedAsAFailure) {
  const auto good = test::WriteTempFile(
      "fpga.img", fw::FpgaFile(fw::StampedPayload(3000, {}, 1), fw::StampedPayload(3000, {}, 2)));
  const auto empty = test::WriteTempFile("empty.img", {});
  struct Case {
    std::string route;
    std::string path;
    sim::FaultPlan fault;
    int exit;
    const char* said;  // on stdout for a failed update, on stderr for a bad file
  } const cases[] = {
      {"dfu",
       good.hostPath,
       {sim::FaultKind::kDisconnect, 12},
       bench::kExitUpdateFailed,
       "against the file: differs"},
      {"generic",
       good.hostPath,
       {sim::FaultKind::kShortTransfer, 6},
       bench::kExitUpdateFailed,
       "against the file: differs"},
      {"dfu", good.hostPath + ".missing", {}, bench::kExitBadInput, "no such file"},
      {"tarsa", empty.hostPath, {}, bench::kExitBadInput, "is empty"},
      {"dfu", test::TestTempDir(), {}, bench::kExitBadInput, "is a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.route + " " + c.path);
    Options options;
    options.route = c.route;
    options.firmwarePath = c.path;
    options.fault = c.fault;
    options.quiet = true;
    std::ostringstream out;
    std::ostringstream err;
    {
      bench::Session session(options, out, err);
      EXPECT_EQ(session.Run(), c.exit);
    }
    const std::string& shown = c.exit == bench::kExitBadInput ? err.str() : out.str();
    EXPECT_NE(shown.find(c.said), std::string::npos) << out.str() << err.str();
    if (c.exit == bench::kExitBadInput) {
      EXPECT_EQ(out.str(), "");
    }
  }
}

}  // namespace
}  // namespace veltra
