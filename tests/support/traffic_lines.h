// The traffic log as the tests read it: one parsed JSON object per line (nlohmann-json). A line
// that is not a whole JSON object fails the test that reads it, so a torn or garbled line never
// passes unnoticed.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace veltra::test {

std::vector<nlohmann::json> TrafficLines(const std::string& text);

// The lines of one kind of transfer ("control", "library", ...), optionally of one device.
std::vector<nlohmann::json> TrafficOf(const std::string& text, const std::string& op,
                                      const std::string& dev = "");

// The bytes of a hex field ("out", "in"); empty when the line has none.
std::vector<std::uint8_t> HexField(const nlohmann::json& line, const char* key);

}  // namespace veltra::test
