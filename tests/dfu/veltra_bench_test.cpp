// veltra-bench as a library: the sessions that must end in a failure.
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
