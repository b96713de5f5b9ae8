// veltra-bench as a library: its options, and whole sessions on a one-pass and a two-pass file.
#include <gtest/gtest.h>

#include <fstream>
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

struct Example {
  const char* name;
  fw::Bytes bytes;
  std::uint16_t pid;
  int runs;  // worker runs expected
};

TEST(VeltraBenchSession, OneAndTwoPassImagesEndOnACameraHoldingTheFilesPayloads) {
  const fw::Version v{2, 1, 7, 3};
  const Example examples[] = {
      {"mcu.img", fw::McuFile(fw::StampedMcuText(50, 60, v, 3), fw::StampedPayload(9000, v, 4)),
       0xDF00, 1},
      {"type1.img",
       fw::CombinedFile(1, fw::StampedPayload(4196, v, 5), fw::StampedPayload(6784, v, 6)), 0xDF01,
       2},
  };
  for (const auto& example : examples) {
    SCOPED_TRACE(example.name);
    const auto file = test::WriteTempFile(example.name, example.bytes);
    Options options;
    options.firmwarePath = file.hostPath;
    options.pid = example.pid;
    options.logPath = file.hostPath + ".jsonl";
    std::ostringstream out;
    int code = 0;
    {
      bench::Session session(options, out);
      code = session.Run();
    }
    EXPECT_EQ(code, bench::kExitSuccess) << out.str();
    EXPECT_EQ(out.str().find("DIFFERS"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("update worker, run " + std::to_string(example.runs)),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("[Success]"), std::string::npos);
    std::ifstream log(options.logPath);
    std::string first;
    ASSERT_TRUE(std::getline(log, first));
    EXPECT_EQ(first.rfind(R"({"seq":1,"t_ms":0,"dev":"7E51:DF0)", 0), 0u) << first;
  }
}

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
