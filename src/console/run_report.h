// The JSON report of an update run (docs/update-report.schema.json). It is written again after
// each camera, to a temporary file that then replaces the report, so the file on disk is always
// a whole document even when the console is closed mid-run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace veltra::console {

struct FileRecord {
  std::string name;
  std::uint64_t size = 0;
  std::string sha256;  // lower-case hex
  std::string kind;
};

struct CameraRecord {
  std::string serial;
  std::string port;
  std::string model;
  std::string vidPid;
  std::string route;
  std::string versionBefore;  // empty: not read
  std::string versionAfter;
  std::string outcome;
  std::string message;
  double seconds = 0.0;
};

class RunReport {
 public:
  RunReport(std::string programVersion, FileRecord file)
      : programVersion_(std::move(programVersion)), file_(std::move(file)) {}

  void Add(CameraRecord camera) { cameras_.push_back(std::move(camera)); }
  void SetExitCode(int code) { exitCode_ = code; }
  std::string Text() const;
  // False (and *error says why) when it could not be written.
  bool WriteTo(const std::string& path, std::string* error) const;

 private:
  std::string programVersion_;
  FileRecord file_;
  std::vector<CameraRecord> cameras_;
  std::optional<int> exitCode_;  // set once the run has ended
};

}  // namespace veltra::console
