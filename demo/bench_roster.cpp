#include "demo/bench_roster.h"

#include <cerrno>
#include <cstdlib>
#include <iterator>

#include "sim/cameras/cx3_camera.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/mirel_camera.h"
#include "sim/cameras/nxp_camera.h"
#include "sim/fault_names.h"

namespace veltra::demo {

namespace {

constexpr const char* kNoFault = "none";  // clears a pending fault
constexpr std::size_t kMaxSerialChars = sim::VirtualDevice::kMaxSerialChars;
constexpr std::size_t kMaxCameras = 16;  // the program lists at most 20 devices
constexpr double kMinSpeed = 0.1;
constexpr double kMaxSpeed = 1000.0;
const std::string kEraseSwitch = "erase=";
const std::string kSerialSwitch = "serial=";
const std::string kHidSwitch = "hid=";
const std::string kLateSwitch = "late=";
const std::string kPortSwitch = "port=";
constexpr unsigned long kMaxLateSeconds = sim::Unknowns::kMaxDriverInstallMs / 1000;
const std::string kEndSwitch = "end=";
const std::string kLoaderEraseSwitch = "loadererase=";
constexpr unsigned long kMaxLoaderEraseSeconds = 30;
// The values of +end=, in the order of sim::DownloadEnd.
constexpr const char* kEndNames[] = {"answer", "at-once", "during-zlp", "error", "no-boot"};
constexpr unsigned long kMaxEraseSeconds = 120;  // a flash-wide erase takes up to two minutes

struct KindRow {
  const char* token;
  CameraKind kind;
  const wchar_t* serial;  // default serial; its last character is replaced per extra camera
  bool dfuErase;          // speaks the maker's DFU requests, whose erase takes a settable time
};

constexpr KindRow kKinds[] = {
    {"generic", CameraKind::kGeneric, L"RX40000001", true},
    {"pesca", CameraKind::kPesca, L"PSC0000001", true},
    {"tarsa", CameraKind::kTarsa, L"TRS0000001", true},
    {"mirel", CameraKind::kMirel, L"MRL0000001", false},
    {"cx3", CameraKind::kCx3, L"CX3A000001", true},
    {"nxp", CameraKind::kNxp, L"NXP0000001", false},
    {"restricted", CameraKind::kRestricted, L"RST0000001", true},
    {"dfu", CameraKind::kDfuWaiting, L"DFU0000001", true},
    {"fx3rom", CameraKind::kFx3Rom, L"FX3R000001", true},
    {"rt1060rom", CameraKind::kRt1060Rom, L"RT10000001", false},
};

const KindRow* FindKind(const std::string& token) {
  for (const KindRow& row : kKinds) {
    if (token == row.token) {
      return &row;
    }
  }
  return nullptr;
}

const KindRow& RowOf(CameraKind kind) {
  for (const KindRow& row : kKinds) {
    if (row.kind == kind) {
      return row;
    }
  }
  return kKinds[0];
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) {
    return "";
  }
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool IsSerialChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) {
        words.push_back(word);
        word.clear();
      }
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) {
    words.push_back(word);
  }
  return words;
}

// A decimal count without sign or garbage, at most max.
bool ParseCount(const std::string& text, unsigned long max, unsigned long* out) {
  if (text.empty() || text.size() > 9) {
    return false;
  }
  unsigned long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  if (value > max) {
    return false;
  }
  *out = value;
  return true;
}

// The k-th camera of a kind (k from 0) gets the default serial with its last character replaced,
// 1..9 then A..Z, so that up to 35 cameras of one kind stay distinct.
std::wstring DefaultSerial(CameraKind kind, int sameKindBefore) {
  std::wstring serial = RowOf(kind).serial;
  static const wchar_t kDigits[] = L"123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const int index = sameKindBefore % 35;
  serial.back() = kDigits[index];
  return serial;
}

template <typename Camera>
std::string VersionOf(const sim::CameraDevice& device) {
  return sim::ToString(static_cast<const Camera&>(device).Version());
}

bool StartsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

// One of the switches of what nothing documents about the camera (sim::Unknowns); false when
// the name is none of them. *error is set when it is one but its value is not.
bool TakeUnknown(const std::string& name, sim::Unknowns* unknowns, bool* known,
                 std::string* error) {
  *known = true;
  if (StartsWith(name, kSerialSwitch)) {
    const std::string value = name.substr(kSerialSwitch.size());
    if (value == "own") {
      unknowns->updateModeSerial = sim::UpdateModeSerial::kCameraSerial;
    } else if (value == "none") {
      unknowns->updateModeSerial = sim::UpdateModeSerial::kNone;
    } else if (value == "family") {
      unknowns->updateModeSerial = sim::UpdateModeSerial::kFamilySerial;
    } else {
      *error = "update-mode serial \"" + value + "\" is none of own, none, family";
    }
  } else if (StartsWith(name, kHidSwitch)) {
    const std::string value = name.substr(kHidSwitch.size());
    if (value == "shared" || value == "held") {
      unknowns->exclusiveLoaderHid = value == "held";
    } else {
      *error = "flash-loader HID \"" + value + "\" is neither shared nor held";
    }
  } else if (StartsWith(name, kLateSwitch)) {
    unsigned long seconds = 0;
    if (ParseCount(name.substr(kLateSwitch.size()), kMaxLateSeconds, &seconds)) {
      unknowns->driverInstallMs = static_cast<std::uint32_t>(seconds * 1000UL);
    } else {
      *error = "driver install time \"" + name.substr(kLateSwitch.size()) +
               "\" is not a number of seconds from 0 to 50";
    }
  } else if (StartsWith(name, kPortSwitch)) {
    const std::string value = name.substr(kPortSwitch.size());
    if (value == "same" || value == "companion") {
      unknowns->companionPortInBootModes = value == "companion";
    } else {
      *error = "return port \"" + value + "\" is neither same nor companion";
    }
  } else {
    *known = false;
  }
  return error->empty();
}

// Takes the "+switch" parts off the end of a roster item: each switches one check of the
// hardware off for that camera, sets its erase time ("+erase=<seconds>"), or sets one of what
// nothing documents about it ("+serial=", "+hid=", "+late=", "+port=").
bool TakeSwitches(std::string* item, CameraEntry* entry, std::string* error) {
  sim::Strictness* strictness = &entry->strictness;
  for (std::size_t plus = item->rfind('+'); plus != std::string::npos; plus = item->rfind('+')) {
    const std::string name = item->substr(plus + 1);
    bool unknown = false;
    if (!TakeUnknown(name, &entry->unknowns, &unknown, error)) {
      return false;
    }
    if (unknown) {
      item->erase(plus);
      continue;
    }
    if (StartsWith(name, kEraseSwitch)) {
      unsigned long seconds = 0;
      if (!ParseCount(name.substr(kEraseSwitch.size()), kMaxEraseSeconds, &seconds)) {
        *error = "erase time \"" + name.substr(kEraseSwitch.size()) +
                 "\" is not a number of seconds from 0 to 120";
        return false;
      }
      entry->eraseMs = static_cast<std::uint32_t>(seconds * 1000UL);
    } else if (name.compare(0, kEndSwitch.size(), kEndSwitch) == 0) {
      const std::string value = name.substr(kEndSwitch.size());
      for (std::size_t i = 0; i < std::size(kEndNames); ++i) {
        if (value == kEndNames[i]) {
          entry->downloadEnd = static_cast<sim::DownloadEnd>(i);
        }
      }
      if (!entry->downloadEnd.has_value()) {
        *error = "download end \"" + value + "\" is not answer, at-once, during-zlp or error";
        return false;
      }
    } else if (name.compare(0, kLoaderEraseSwitch.size(), kLoaderEraseSwitch) == 0) {
      unsigned long seconds = 0;
      if (!ParseCount(name.substr(kLoaderEraseSwitch.size()), kMaxLoaderEraseSeconds, &seconds)) {
        *error = "flash loader erase time \"" + name.substr(kLoaderEraseSwitch.size()) +
                 "\" is not a number of seconds from 0 to 30";
        return false;
      }
      entry->loaderEraseMs = static_cast<std::uint32_t>(seconds * 1000UL);
    } else if (name == "unpaced") {
      entry->unpaced = true;
    } else if (name == "denied") {
      entry->openRefused = true;
    } else if (name == "lax") {
      *strictness = sim::Strictness{false, false, false};
    } else if (name == "laxsetup") {
      strictness->setupFields = false;
    } else if (name == "laxreports") {
      strictness->reportLengths = false;
    } else if (name == "laxrecords") {
      strictness->recordFields = false;
    } else {
      *error = "unknown switch \"+" + name +
               "\" (known: lax, laxsetup, laxreports, laxrecords, erase=<seconds>, end=<how>, "
               "unpaced, denied, loadererase=<seconds>, serial=own|none|family, hid=shared|held, "
               "late=<seconds>, port=same|companion)";
      return false;
    }
    item->erase(plus);
  }
  return true;
}

}  // namespace

const char* KindName(CameraKind kind) {
  return RowOf(kind).token;
}

const char* FaultName(sim::FaultKind kind) {
  const char* name = sim::NameOfFaultKind(kind);
  return name != nullptr ? name : kNoFault;
}

bool ParseRoster(const std::string& text, std::vector<CameraEntry>* cameras, std::string* error) {
  cameras->clear();
  if (Trim(text) == "none") {
    return true;  // an empty bench: the program shows "No Device Connected"
  }
  std::vector<CameraEntry> parsed;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::string item = Trim(text.substr(start, end - start));
    start = end + 1;
    if (item.empty()) {
      *error = "empty camera in the list \"" + text + "\"";
      return false;
    }
    CameraEntry entry;
    if (item[0] == '-') {
      entry.plugged = false;
      item.erase(0, 1);
    }
    if (!TakeSwitches(&item, &entry, error)) {
      return false;
    }
    const std::size_t colon = item.find(':');
    const std::string token = item.substr(0, colon);
    const KindRow* row = FindKind(token);
    if (row == nullptr) {
      *error = "unknown camera kind \"" + token +
               "\" (known: generic, pesca, tarsa, mirel, cx3, nxp, restricted, dfu, fx3rom, "
               "rt1060rom)";
      return false;
    }
    entry.kind = row->kind;
    if ((entry.eraseMs.has_value() || entry.downloadEnd.has_value()) && !row->dfuErase) {
      *error = "\"" + token + "\" speaks no DFU requests that +erase or +end could set";
      return false;
    }
    const bool nxp = row->kind == CameraKind::kNxp || row->kind == CameraKind::kRt1060Rom;
    if (entry.loaderEraseMs.has_value() && !nxp) {
      *error = "\"" + token + "\" has no flash loader whose erase +loadererase could set";
      return false;
    }
    if (colon != std::string::npos) {
      const std::string serial = item.substr(colon + 1);
      if (serial.size() > kMaxSerialChars) {
        *error = "serial \"" + serial + "\" is longer than 126 characters";
        return false;
      }
      for (char c : serial) {
        if (!IsSerialChar(c)) {
          *error = "serial \"" + serial + "\" may hold letters and digits only";
          return false;
        }
      }
      entry.serialGiven = true;
      entry.serial.assign(serial.begin(), serial.end());
    }
    parsed.push_back(entry);
    if (parsed.size() > kMaxCameras) {
      *error = "more than 16 cameras";
      return false;
    }
    if (end == text.size()) {
      break;
    }
  }
  *cameras = parsed;
  return true;
}

bool ParseSpeed(const std::string& text, double* speed, std::string* error) {
  const std::string value = Trim(text);
  if (value.empty()) {
    *speed = 1.0;
    return true;
  }
  errno = 0;
  char* end = nullptr;
  const double parsed = std::strtod(value.c_str(), &end);
  if (errno != 0 || end == value.c_str() || *end != '\0' || !(parsed >= kMinSpeed) ||
      !(parsed <= kMaxSpeed)) {
    *error = "speed \"" + value + "\" is not a number from 0.1 to 1000";
    return false;
  }
  *speed = parsed;
  return true;
}

bool ParseBenchCommand(const std::string& text, BenchCommand* command, std::string* error) {
  const std::vector<std::string> words = Words(text);
  if (words.empty()) {
    *error = "empty command";
    return false;
  }
  BenchCommand parsed;
  const std::string& verb = words[0];
  std::size_t expected = 2;
  if (verb == "plug") {
    parsed.verb = BenchCommand::Verb::kPlug;
  } else if (verb == "unplug") {
    parsed.verb = BenchCommand::Verb::kUnplug;
  } else if (verb == "fault") {
    parsed.verb = BenchCommand::Verb::kFault;
    expected = 3;
  } else {
    *error = "unknown command \"" + verb + "\" (plug, unplug, fault)";
    return false;
  }
  if (words.size() != expected) {
    *error = expected == 2 ? "usage: " + verb + " <camera>"
                           : std::string("usage: fault <camera> <kind>@<transfer> | none");
    return false;
  }
  unsigned long camera = 0;
  if (!ParseCount(words[1], kMaxCameras - 1, &camera)) {
    *error = "camera \"" + words[1] + "\" is not a number from 0 to 15";
    return false;
  }
  parsed.camera = camera;
  if (parsed.verb == BenchCommand::Verb::kFault) {
    const std::string& fault = words[2];
    const std::size_t at = fault.find('@');
    const std::string kind = fault.substr(0, at);
    sim::FaultKind found = sim::FaultKind::kNone;
    if (kind != kNoFault && !sim::FaultKindByName(kind, &found)) {
      *error = "unknown fault \"" + kind + "\" (" + sim::kFaultKindList + ", " + kNoFault + ")";
      return false;
    }
    parsed.fault = found;
    if (found == sim::FaultKind::kNone) {
      if (at != std::string::npos) {
        *error = "fault none takes no transfer";
        return false;
      }
    } else {
      unsigned long after = 0;
      if (at == std::string::npos || !ParseCount(fault.substr(at + 1), 1000000, &after)) {
        *error = "fault \"" + fault + "\" needs @<transfer>, a number from 0";
        return false;
      }
      parsed.afterTransfers = static_cast<int>(after);
    }
  }
  *command = parsed;
  return true;
}

std::vector<BenchCamera> MakeCameras(const std::vector<CameraEntry>& entries) {
  std::vector<BenchCamera> cameras;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const CameraEntry& entry = entries[i];
    int sameKindBefore = 0;
    for (std::size_t j = 0; j < i; ++j) {
      sameKindBefore += entries[j].kind == entry.kind ? 1 : 0;
    }
    const std::wstring serial =
        entry.serialGiven ? entry.serial : DefaultSerial(entry.kind, sameKindBefore);
    BenchCamera camera;
    camera.entry = entry;
    switch (entry.kind) {
      case CameraKind::kGeneric:
      case CameraKind::kDfuWaiting: {
        sim::DfuModeCamera::Options options;
        options.serial = serial;
        options.startInUpdateMode = entry.kind == CameraKind::kDfuWaiting;
        camera.device = std::make_shared<sim::GenericCamera>(options);
        camera.version = &VersionOf<sim::DfuModeCamera>;
        break;
      }
      case CameraKind::kPesca: {
        sim::DfuModeCamera::Options options = sim::PescaOptions();
        options.serial = serial;
        camera.device = std::make_shared<sim::PescaCamera>(options);
        camera.version = &VersionOf<sim::DfuModeCamera>;
        break;
      }
      case CameraKind::kTarsa: {
        sim::DfuModeCamera::Options options = sim::TarsaOptions();
        options.serial = serial;
        camera.device = std::make_shared<sim::TarsaCamera>(options);
        camera.version = &VersionOf<sim::DfuModeCamera>;
        break;
      }
      case CameraKind::kRestricted: {
        auto restricted = std::make_shared<sim::RestrictedCamera>();
        restricted->SetSerial(serial);
        camera.device = restricted;
        camera.version = &VersionOf<sim::DfuModeCamera>;
        break;
      }
      case CameraKind::kMirel: {
        sim::MirelCamera::Options options;
        options.serial = serial;
        camera.device = std::make_shared<sim::MirelCamera>(options);
        camera.version = &VersionOf<sim::MirelCamera>;
        break;
      }
      case CameraKind::kCx3:
      case CameraKind::kFx3Rom: {
        sim::Cx3Camera::Options options;
        options.serial = serial;
        if (entry.kind == CameraKind::kFx3Rom) {
          options.startMode = sim::Cx3Camera::Mode::kBootRom;
        }
        camera.device = std::make_shared<sim::Cx3Camera>(options);
        camera.version = &VersionOf<sim::Cx3Camera>;
        break;
      }
      case CameraKind::kNxp:
      case CameraKind::kRt1060Rom: {
        sim::NxpCamera::Options options;
        options.serial = serial;
        if (entry.kind == CameraKind::kRt1060Rom) {
          options.startMode = sim::NxpCamera::Mode::kRom;
        }
        camera.device = std::make_shared<sim::NxpCamera>(options);
        camera.version = &VersionOf<sim::NxpCamera>;
        break;
      }
    }
    camera.device->SetStrictness(entry.strictness);
    camera.device->SetUnknowns(entry.unknowns);
    camera.device->SetOpenRefused(entry.openRefused);
    // Only kinds with a DFU engine take +erase and +end (ParseRoster refuses the others).
    sim::DfuEngine* engine = nullptr;
    if (auto* dfu = dynamic_cast<sim::DfuModeCamera*>(camera.device.get())) {
      engine = &dfu->engine();
    } else if (auto* cx3 = dynamic_cast<sim::Cx3Camera*>(camera.device.get())) {
      engine = &cx3->engine();
    }
    if (engine != nullptr) {
      if (entry.eraseMs.has_value()) {
        engine->SetEraseMs(*entry.eraseMs);
      }
      if (entry.downloadEnd.has_value()) {
        engine->SetDownloadEnd(*entry.downloadEnd);
      }
      if (entry.unpaced) {
        engine->SetPacing(sim::Pacing::None());
      }
    }
    if (auto* nxp = dynamic_cast<sim::NxpCamera*>(camera.device.get())) {
      sim::FlashLoader::Timing timing;
      timing.eraseMs = entry.loaderEraseMs.value_or(timing.eraseMs);
      timing.dataGapMs = entry.unpaced ? 0 : timing.dataGapMs;
      nxp->SetLoaderTiming(timing);
    }
    cameras.push_back(std::move(camera));
  }
  return cameras;
}

}  // namespace veltra::demo
