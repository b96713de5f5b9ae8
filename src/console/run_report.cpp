#include "console/run_report.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <system_error>

namespace veltra::console {

namespace {

constexpr int kIndent = 2;
constexpr const char kTempSuffix[] = ".tmp";

nlohmann::json TextOrNull(const std::string& text) {
  return text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text);
}

}  // namespace

std::string RunReport::Text() const {
  nlohmann::json cameras = nlohmann::json::array();
  for (const CameraRecord& camera : cameras_) {
    cameras.push_back({{"serial", TextOrNull(camera.serial)},
                       {"port", TextOrNull(camera.port)},
                       {"model", TextOrNull(camera.model)},
                       {"vidPid", camera.vidPid},
                       {"route", camera.route},
                       {"versionBefore", TextOrNull(camera.versionBefore)},
                       {"versionAfter", TextOrNull(camera.versionAfter)},
                       {"outcome", camera.outcome},
                       {"message", camera.message},
                       {"seconds", camera.seconds}});
  }
  nlohmann::json report = {
      {"program", {{"name", "veltra-update"}, {"version", programVersion_}}},
      {"file",
       {{"name", file_.name},
        {"size", file_.size},
        {"sha256", file_.sha256},
        {"kind", file_.kind}}},
      {"cameras", cameras},
      {"exitCode", exitCode_ ? nlohmann::json(*exitCode_) : nlohmann::json(nullptr)}};
  // Messages come from the program's texts; a byte that is not UTF-8 is replaced, not thrown on.
  return report.dump(kIndent, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

bool RunReport::WriteTo(const std::string& path, std::string* error) const {
  const std::filesystem::path target = std::filesystem::u8path(path);
  std::filesystem::path temp = target;
  temp += kTempSuffix;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << Text();
    out.close();
    if (!out) {
      *error = "cannot write " + temp.u8string();
      return false;
    }
  }
  std::error_code code;
  std::filesystem::rename(temp, target, code);
  if (code) {
    *error = "cannot replace " + path + ": " + code.message();
    std::filesystem::remove(temp, code);
    return false;
  }
  return true;
}

}  // namespace veltra::console
