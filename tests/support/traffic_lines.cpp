#include "support/traffic_lines.h"

#include <gtest/gtest.h>

#include <sstream>

namespace veltra::test {

std::vector<nlohmann::json> TrafficLines(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) {
      ADD_FAILURE() << "not a JSON object: " << line;
      continue;
    }
    lines.push_back(std::move(parsed));
  }
  return lines;
}

std::vector<nlohmann::json> TrafficOf(const std::string& text, const std::string& op,
                                      const std::string& dev) {
  std::vector<nlohmann::json> lines;
  for (auto& line : TrafficLines(text)) {
    if (line.value("op", "") == op && (dev.empty() || line.value("dev", "") == dev)) {
      lines.push_back(std::move(line));
    }
  }
  return lines;
}

std::vector<std::uint8_t> HexField(const nlohmann::json& line, const char* key) {
  std::vector<std::uint8_t> bytes;
  const std::string hex = line.value(key, "");
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

}  // namespace veltra::test
