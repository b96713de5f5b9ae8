#include "loaders/loader_fixture.h"

#include <cstdlib>
#include <cstring>

#include "support/traffic_lines.h"

namespace veltra::test {

LoaderTest::LoaderTest() {
  Ports set = ports();
  set.usb = &traffic_;
  set.camera = &library_;
  InstallPorts(set);
  hidInput_.SetLog(&traffic_);
}

LoaderTest::~LoaderTest() {
  system_->JoinAllThreads();
}

void LoaderTest::SetPayload(Payload& payload, const std::vector<std::uint8_t>& bytes) {
  ReleasePayload(payload);
  payload.data = static_cast<std::uint8_t*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
  if (!bytes.empty()) {
    std::memcpy(payload.data, bytes.data(), bytes.size());
  }
  payload.length = static_cast<std::uint32_t>(bytes.size());
}

std::vector<LogEntry> LoaderTest::Log(const std::string& op) const {
  std::vector<LogEntry> entries;
  for (const auto& line : TrafficOf(log_.str(), op)) {
    LogEntry entry;
    entry.tMs = line.value("t_ms", std::uint64_t{0});
    entry.dev = line.value("dev", "");
    entry.op = op;
    entry.call = line.value("call", "");
    entry.setup = line.value("setup", std::vector<long long>{});
    entry.out = HexField(line, "out");
    entry.length = line.value("length", 0LL);
    entry.flag = line.value("flag", -1LL);
    entry.result = line.value("result", 0LL);
    entries.push_back(entry);
  }
  return entries;
}

}  // namespace veltra::test
