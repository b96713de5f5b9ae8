#include "loaders/loader_fixture.h"

#include <cstdlib>
#include <cstring>

#include "dfu/dfu_requests.h"

namespace veltra::test {

namespace {

// The text after "key": in a JSON line ("" when absent).
std::string Field(const std::string& line, const std::string& key) {
  const std::string tag = "\"" + key + "\":";
  const std::size_t at = line.find(tag);
  if (at == std::string::npos) {
    return "";
  }
  std::size_t pos = at + tag.size();
  if (line[pos] == '"') {
    return line.substr(pos + 1, line.find('"', pos + 1) - pos - 1);
  }
  if (line[pos] == '[') {
    return line.substr(pos + 1, line.find(']', pos) - pos - 1);
  }
  const std::size_t end = line.find_first_of(",}", pos);
  return line.substr(pos, end - pos);
}

long long Number(const std::string& text, long long fallback) {
  return text.empty() ? fallback : std::stoll(text);
}

std::vector<std::uint8_t> FromHex(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

}  // namespace

LoaderTest::LoaderTest() {
  Ports set = ports();
  set.usb = &traffic_;
  set.camera = &library_;
  InstallPorts(set);
}

LoaderTest::~LoaderTest() {
  system_->JoinAllThreads();
  ReleaseDfuHandles();
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
  std::istringstream in(log_.str());
  for (std::string line; std::getline(in, line);) {
    if (Field(line, "op") != op) {
      continue;
    }
    LogEntry entry;
    entry.tMs = static_cast<std::uint64_t>(Number(Field(line, "t_ms"), 0));
    entry.dev = Field(line, "dev");
    entry.op = op;
    entry.call = Field(line, "call");
    std::istringstream setup(Field(line, "setup"));
    for (std::string value; std::getline(setup, value, ',');) {
      entry.setup.push_back(std::stoll(value));
    }
    entry.out = FromHex(Field(line, "out"));
    entry.length = Number(Field(line, "length"), 0);
    entry.flag = Number(Field(line, "flag"), -1);
    entry.result = Number(Field(line, "result"), 0);
    entries.push_back(entry);
  }
  return entries;
}

}  // namespace veltra::test
