// The fault matrix: every route of an update, run through the whole program (dispatch, worker,
// device-change handling, headless dialog) with one fault injected at each transfer index of a
// clean run, for each fault kind. Each case must end (no hang), tell the user how it ended with a
// message within ten minutes on the program's clock, never report success for a camera that does
// not hold the whole image, and leave a camera that a second update after a new Browse (and a
// re-plug where the user needs one) brings to the new firmware. A case that misses one of these
// fails the test, on every route. Error messages for a camera that holds the whole image anyway
// (false failures) are counted. An NXP update whose flash loader's answers could not be read ends
// with the unconfirmed write's message (its own outcome, never a success). The counts per route
// and every finding are printed at the end.
//
// By default every second transfer index is tried (every sixth under the sanitizers);
// VELTRA_FAULTS_FULL=1 tries all of them.
//
// The bench's switches (the behaviours of the hardware nothing documents) are a dimension of the
// matrix: each value of a switch runs the routes it applies to with the value set on the camera.
// VELTRA_FAULTS_SWITCHES=<list> picks the values ("end=all", "end=at-once,end=error"; "none" for
// the bench's defaults only), each at the stride above; without it the defaults run at that
// stride and every other value as a sample, at a thirty-second of it counted back from the last
// transfer (values the cameras have by default left out). A switch is a row of Switches()
// (fault_switches.h): "serial=" (own, none, family), "end=" (at-once, during-zlp, error) and
// "hid=" (held, shared).
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../app/app_fixture.h"
#include "../app/scenario_fixture.h"
#include "app/resource_ids.h"
#include "dfu/download_engines.h"
#include "fault_switches.h"
#include "loaders/fx3_download.h"
#include "sim/cameras/cx3_camera.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/nxp_camera.h"
#include "sim/flash_loader.h"

namespace veltra::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using sim::FaultKind;

constexpr FaultKind kKinds[] = {FaultKind::kTransferError, FaultKind::kShortTransfer,
                                FaultKind::kStuckState,    FaultKind::kErrorState,
                                FaultKind::kDisconnect,    FaultKind::kTimeout};

const char* KindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::kTransferError:
      return "transfer-error";
    case FaultKind::kShortTransfer:
      return "short";
    case FaultKind::kStuckState:
      return "stuck";
    case FaultKind::kErrorState:
      return "error-state";
    case FaultKind::kDisconnect:
      return "disconnect";
    case FaultKind::kTimeout:
      return "timeout";
    case FaultKind::kNone:
      break;
  }
  return "none";
}

bool FullMatrix() {
  const char* full = std::getenv("VELTRA_FAULTS_FULL");
  return full != nullptr && full[0] == '1';
}

// VELTRA_FAULTS_ONLY=<text> runs only the cases whose label contains the text, or with a trailing
// '$' the one case of that label (for a closer look: its boxes and trace lines are printed).
const char* OnlyCases() {
  return std::getenv("VELTRA_FAULTS_ONLY");
}

bool Selected(const std::string& label) {
  const char* only = OnlyCases();
  if (only == nullptr) {
    return true;
  }
  // A trailing '$' asks for that one case ("...@1$" would otherwise take @10 to @19 too).
  const std::string text(only);
  if (!text.empty() && text.back() == '$') {
    return label == text.substr(0, text.size() - 1);
  }
  return label.find(text) != std::string::npos;
}

// Which transfer indexes are tried: all of them on request, every second one by default, and
// every sixth under the sanitizers, which run the program 5 to 15 times slower; the sanitizer
// runs look for races and memory errors, which the spread of indexes still reaches on every route.
int TransferStride() {
  if (FullMatrix()) {
    return 1;
  }
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return 6;
#else
  return 2;
#endif
}

// Fails the run instead of blocking CI when one case does not end in real time. The program's
// own clock is virtual and instant, so a case that needs more than this is stuck for good.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit) : thread_([this, limit] { Watch(limit); }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  void Arm(std::string label) {
    std::lock_guard<std::mutex> lock(mutex_);
    label_ = std::move(label);
    ++generation_;
    wake_.notify_all();
  }

 private:
  void Watch(std::chrono::seconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
      const std::uint64_t seen = generation_;
      if (!wake_.wait_for(lock, limit, [&] { return stop_ || generation_ != seen; })) {
        std::fprintf(stderr, "fault case did not end within %llds: %s\n",
                     static_cast<long long>(limit.count()), label_.c_str());
        std::abort();
      }
    }
  }
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::uint64_t generation_ = 0;
  std::string label_;
  std::thread thread_;
};

// kUnconfirmed: the NXP camera came back after a write whose answers could not be read, and the
// user is told the write is unconfirmed (kTextWrittenUnconfirmed): never counted as a success.
enum class Outcome { kSuccess, kUnconfirmed, kErrorBox, kSilent };

const char* SwitchList() {
  return std::getenv("VELTRA_FAULTS_SWITCHES");
}

// Whether a value runs, and at what stride: the listed values at the full stride; without a
// list, every value as a sample.
bool SwitchValueRuns(const std::string& value, int stride, int* valueStride) {
  const char* list = SwitchList();
  if (list == nullptr) {
    *valueStride = stride * 32;
    return true;
  }
  *valueStride = stride;
  const std::string text = "," + std::string(list) + ",";
  const std::string name = value.substr(0, value.find('='));
  return text.find("," + value + ",") != std::string::npos ||
         text.find("," + name + "=all,") != std::string::npos;
}

// The values each case runs under: the defaults ("" , unless the list leaves them out), then
// every value picked.
struct Variant {
  std::string name;          // "" for the bench's defaults
  const SwitchValue* value;  // null for the defaults
  const BenchSwitch* owner;
  int stride;
  bool sample;  // run as CI's sample of the value
};

// One route: the camera it starts from, the file it takes and what "holds the whole image" means.
struct Route {
  std::string name;
  std::string example;   // the example file
  std::string fileName;  // as the user's file is named (the model check passes quietly)
  std::function<std::shared_ptr<sim::CameraDevice>()> make;
  // Compares the camera with the one a clean run left (the reference).
  std::function<bool(sim::CameraDevice&, sim::CameraDevice&)> holdsImage;
};

template <typename Camera>
Camera& As(sim::CameraDevice& device) {
  return static_cast<Camera&>(device);
}

// The bench's flash keeps appending what each download writes, so a camera that took the image
// again after a failed try holds it as the last thing written.
bool EndsWith(const Bytes& got, const Bytes& want) {
  return got.size() >= want.size() &&
         std::equal(want.begin(), want.end(), got.end() - static_cast<std::ptrdiff_t>(want.size()));
}

bool SameDfuFlash(const sim::DfuFlash& a, const sim::DfuFlash& b) {
  return EndsWith(a.mcu, b.mcu) && EndsWith(a.fpga, b.fpga) && EndsWith(a.image, b.image);
}

bool DfuHolds(sim::CameraDevice& device, sim::CameraDevice& reference) {
  auto& camera = As<sim::DfuModeCamera>(device);
  auto& clean = As<sim::DfuModeCamera>(reference);
  return camera.Version() == clean.Version() && SameDfuFlash(camera.Flash(), clean.Flash());
}

bool PescaHolds(sim::CameraDevice& device, sim::CameraDevice& reference) {
  auto& camera = As<sim::DfuModeCamera>(device);
  auto& clean = As<sim::DfuModeCamera>(reference);
  // Both passes: the last two completed sections must be the clean run's.
  const auto got = camera.Flash().imageSections;
  const auto want = clean.Flash().imageSections;
  return camera.Version() == clean.Version() && got.size() >= want.size() &&
         std::equal(want.begin(), want.end(), got.end() - static_cast<std::ptrdiff_t>(want.size()));
}

bool Cx3Holds(sim::CameraDevice& device, sim::CameraDevice& reference) {
  auto& camera = As<sim::Cx3Camera>(device);
  return camera.FlashHoldsFirmware() &&
         EndsWith(camera.Flash().mcu, As<sim::Cx3Camera>(reference).Flash().mcu);
}

// A camera waiting in a boot ROM is only taken over when it arrives.
bool InBootRom(sim::CameraDevice& device) {
  if (auto* cx3 = dynamic_cast<sim::Cx3Camera*>(&device)) {
    return cx3->CurrentMode() == sim::Cx3Camera::Mode::kBootRom;
  }
  if (auto* nxp = dynamic_cast<sim::NxpCamera*>(&device)) {
    return nxp->CurrentMode() == sim::NxpCamera::Mode::kRom;
  }
  return false;
}

std::vector<Route> Routes(const std::function<Bytes(const std::string&)>& bytesOf) {
  std::vector<Route> routes;
  for (const char* kind : {"mcu.img", "fpga.img", "combined_type3.img", "nxp_firmware.bin"}) {
    routes.push_back({std::string("generic/") + kind, kind, std::string("Veltra_RX40M_") + kind,
                      [] { return std::make_shared<sim::GenericCamera>(); }, DfuHolds});
  }
  routes.push_back({"pesca/combined_type1", "combined_type1.img", "Veltra_Pesca_combined.img",
                    [] { return std::make_shared<sim::PescaCamera>(); }, PescaHolds});
  routes.push_back({"tarsa/mcu", "mcu.img", "Veltra_Tarsa_mcu.img",
                    [] { return std::make_shared<sim::TarsaCamera>(); }, DfuHolds});
  routes.push_back({"dfu-mode/combined_type3", "combined_type3.img", "combined_type3.img",
                    [] {
                      sim::DfuModeCamera::Options options;
                      options.startInUpdateMode = true;
                      return std::make_shared<sim::GenericCamera>(options);
                    },
                    DfuHolds});
  Route cx3{"cx3/fx3-rom/mcu", "mcu.img", "Veltra_CX3_mcu.img",
            [] { return std::make_shared<sim::Cx3Camera>(); }, Cx3Holds};
  routes.push_back(cx3);
  const Bytes nxpImage = bytesOf("nxp_firmware.bin");
  Route nxp{"nxp/rt1060-rom/bin", "nxp_firmware.bin", "Veltra_NX20.bin",
            [] {
              // The flash loader's answers can be read (a second HID handle opens), so that the
              // defaults see every refusal; the held value is a switch of its own (hid=held).
              // The other values of sim::Unknowns are the bench's harsh defaults.
              auto camera = std::make_shared<sim::NxpCamera>();
              sim::Unknowns unknowns;
              unknowns.exclusiveLoaderHid = false;
              camera->SetUnknowns(unknowns);
              return camera;
            },
            [nxpImage](sim::CameraDevice& device, sim::CameraDevice&) {
              // The image, and the boot block in front of it that the erase takes away.
              auto& camera = As<sim::NxpCamera>(device);
              const Bytes tag = camera.FlashBytes(sim::kFlexSpiBase, 4);
              return camera.FlashBytes(sim::kFlashImageAddress, nxpImage.size()) == nxpImage &&
                     tag == Bytes{'F', 'C', 'F', 'B'};
            }};
  routes.push_back(nxp);
  return routes;
}

// The longest a failure may take to be told, on the program's clock.
constexpr std::uint64_t kMessageBoundMs = 600000;
constexpr std::uint64_t kClockStepMs = 10000;

struct Tally {
  int cases = 0;
  std::map<Outcome, int> outcomes;
  int retried = 0;
  int replugged = 0;
  int notRetryable = 0;
  int falseFailures = 0;
  int falseSuccesses = 0;
  int unconfirmedOld = 0;  // the unconfirmed write's message, and the camera without the image
  std::vector<std::string> findings;
};

// One case: a fresh program and bench, built and torn down inside the running test.
class FaultCase : public ScenarioTest {
 public:
  void TestBody() override {}

  struct Result {
    Outcome outcome = Outcome::kSilent;
    bool holds = false;
    int transfers = 0;  // of the first update, on the camera
    bool retryPossible = false;
    bool replugged = false;  // the user had to re-plug the camera before the second update
    bool retrySucceeded = false;
    std::vector<std::wstring> boxes;
  };

  bool Ended() const { return !BoxTexts().empty() || Warned(); }

  // A case that has shown nothing yet is left to its timers: the clock moves on in steps, each
  // firing what fell due, until a message is shown or the bound has passed.
  void WaitForMessage() {
    for (std::uint64_t waited = 0; !Ended() && waited < kMessageBoundMs; waited += kClockStepMs) {
      clock_.Advance(kClockStepMs);
      dialog_.FireDueTimers();
      Settle();
    }
  }

  Result Run(const Route& route, const sim::FaultPlan& plan, sim::CameraDevice* reference,
             std::shared_ptr<sim::CameraDevice>* keep, const SwitchValue* value = nullptr) {
    Result result;
    auto camera = Plug(route.make());
    *keep = camera;
    if (value != nullptr) {
      value->set(*camera);
    }
    StartProgram();
    const std::wstring path = ExampleFile(route.example, route.fileName);
    Browse(path);
    camera->SetFault(plan);
    UpdateAndConfirm();
    Settle();
    WaitForMessage();
    result.transfers = camera->TransferCount();
    result.boxes = BoxTexts();
    bool success = Warned();
    bool unconfirmed = false;
    for (const auto& text : result.boxes) {
      success = success || text == kSuccessText;
      unconfirmed = unconfirmed || text == kUnconfirmedText;
    }
    result.outcome = success                ? Outcome::kSuccess
                     : unconfirmed          ? Outcome::kUnconfirmed
                     : result.boxes.empty() ? Outcome::kSilent
                                            : Outcome::kErrorBox;
    result.holds = reference == nullptr || route.holdsImage(*camera, *reference);
    if (reference == nullptr) {
      return result;
    }
    // The second update: the user plugs the camera back in if it left, unplugs and plugs it when
    // it hangs (only losing power ends a stuck state) or waits in its boot ROM with nothing loaded,
    // when it did not come back with its new firmware after the success message or after nothing
    // was shown at all (a boot ROM is only loaded when it arrives), or when the dialog left Browse
    // disabled (the arrival rebuilds the list around it); then browses again and updates.
    camera->SetFault({});
    if (value != nullptr && value->beforeRetry) {
      value->beforeRetry(*camera);
    }
    if (!bus_.IsPresent(camera.get()) || plan.kind == FaultKind::kStuckState ||
        InBootRom(*camera) || (result.outcome != Outcome::kErrorBox && !result.holds) ||
        !Enabled(IDC_BTN_BROWSE)) {
      result.replugged = true;
      bus_.Replug(camera.get());
      Settle();
    }
    if (shown_.ComboGetCurSel() < 0 || !Enabled(IDC_BTN_BROWSE)) {
      return result;
    }
    result.retryPossible = true;
    dialog_.ClearRecords();
    Browse(path);
    if (!Enabled(IDC_BTN_FW_UPDATE)) {
      return result;
    }
    UpdateAndConfirm();
    Settle();
    WaitForMessage();
    // Without the flash loader's answers the best ending is the unconfirmed one: the camera
    // holding the image decides.
    bool again = Warned();
    for (const auto& text : BoxTexts()) {
      again = again || text == kSuccessText || text == kUnconfirmedText;
    }
    result.retrySucceeded = again && route.holdsImage(*camera, *reference);
    return result;
  }

  // Everything the program traced and the message boxes of the second update.
  void Dump(const Result& result) const {
    for (const auto& line : system_->TraceLines()) {
      std::printf("trace: %ls", line.c_str());
    }
    for (const auto& text : result.boxes) {
      std::printf("first update's box: %ls\n", text.c_str());
    }
    for (const auto& text : BoxTexts()) {
      std::printf("box: %ls\n", text.c_str());
    }
  }

  // The Pesca route ends in the Warning dialog instead of the success message.
  bool Warned() const {
    const std::vector<int> opened = dialog_.ModalDialogsOpened();
    return std::find(opened.begin(), opened.end(), IDD_WARNING_DIALOG) != opened.end();
  }

  Bytes Example(const std::string& name) const { return ExampleBytes(name); }
};

std::string Describe(sim::CameraDevice& device, sim::CameraDevice& reference) {
  auto* camera = dynamic_cast<sim::DfuModeCamera*>(&device);
  auto* clean = dynamic_cast<sim::DfuModeCamera*>(&reference);
  if (camera == nullptr || clean == nullptr) {
    return {};
  }
  const auto a = camera->Flash();
  const auto b = clean->Flash();
  return "mcu " + std::to_string(a.mcu.size()) + "/" + std::to_string(b.mcu.size()) + " fpga " +
         std::to_string(a.fpga.size()) + "/" + std::to_string(b.fpga.size()) + " image " +
         std::to_string(a.image.size()) + "/" + std::to_string(b.image.size()) + " version " +
         std::to_string(camera->Version() == clean->Version());
}

std::string Label(const Route& route, const std::string& variant, FaultKind kind, int index) {
  return route.name + (variant.empty() ? "" : " [" + variant + "]") + " " + KindName(kind) + "@" +
         std::to_string(index);
}

void Print(const std::map<std::string, Tally>& tallies, bool withFindings = true) {
  // unc-old: of the unconfirmed writes, those where the camera does not hold the image.
  std::printf("\n%-42s %6s %8s %6s %7s %7s %7s %9s %9s %8s %8s %9s %9s\n", "route", "cases",
              "success", "unconf", "unc-old", "error", "silent", "false-ok", "false-err", "retried",
              "replug", "no-retry", "findings");
  const auto count = [](const Tally& t, Outcome o) {
    return t.outcomes.count(o) != 0 ? t.outcomes.at(o) : 0;
  };
  for (const auto& [name, t] : tallies) {
    std::printf("%-42s %6d %8d %6d %7d %7d %7d %9d %9d %8d %8d %9d %9zu\n", name.c_str(), t.cases,
                count(t, Outcome::kSuccess), count(t, Outcome::kUnconfirmed), t.unconfirmedOld,
                count(t, Outcome::kErrorBox), count(t, Outcome::kSilent), t.falseSuccesses,
                t.falseFailures, t.retried, t.replugged, t.notRetryable, t.findings.size());
  }
  for (const auto& [name, t] : withFindings ? tallies : std::map<std::string, Tally>{}) {
    for (const auto& c : t.findings) {
      std::printf("FINDING: %s\n", c.c_str());
    }
  }
  std::fflush(stdout);
}

// The variants a route runs under: the bench's defaults, then each switch value picked that
// applies to the route's camera.
std::vector<Variant> VariantsFor(const std::vector<BenchSwitch>& switches, const Route& route,
                                 int stride) {
  std::vector<Variant> variants{{"", nullptr, nullptr, stride, false}};
  const std::shared_ptr<sim::CameraDevice> probe = route.make();
  for (const BenchSwitch& bench : switches) {
    if (!bench.appliesTo(*probe)) {
      continue;
    }
    for (const SwitchValue& value : bench.values) {
      int valueStride = stride;
      if (SwitchValueRuns(value.name, stride, &valueStride) &&
          (SwitchList() != nullptr || value.sampled)) {
        variants.push_back({value.name, &value, &bench, valueStride, SwitchList() == nullptr});
      }
    }
  }
  return variants;
}

TEST(FaultMatrix, EveryRouteEndsCleanlyUnderEveryFaultAtEveryTransfer) {
  Watchdog watchdog(std::chrono::seconds(60));
  std::map<std::string, Tally> tallies;
  std::map<std::string, Tally> perVariant;
  const int stride = TransferStride();
  const std::vector<BenchSwitch> switches = Switches();

  std::vector<Route> routes;
  {
    FaultCase probe;
    routes = Routes([&probe](const std::string& name) { return probe.Example(name); });
  }
  for (const Route& route : routes) {
    SCOPED_TRACE(route.name);
    // The clean run on the bench's defaults: its transfer count spans the matrix, its camera is
    // the reference of what the whole image is.
    std::shared_ptr<sim::CameraDevice> reference;
    int transfers = 0;
    {
      watchdog.Arm(route.name + " clean");
      FaultCase clean;
      const auto result = clean.Run(route, {}, nullptr, &reference);
      ASSERT_EQ(result.outcome, Outcome::kSuccess)
          << route.name << ": "
          << (result.boxes.empty() ? std::string() : Narrow(result.boxes[0].c_str()));
      transfers = result.transfers;
      ASSERT_GT(transfers, 0);
    }
    for (const Variant& variant : VariantsFor(switches, route, stride)) {
      const std::string row = route.name + (variant.name.empty() ? "" : " [" + variant.name + "]");
      Tally& tally = tallies[row];
      Tally& total = perVariant[variant.name.empty() ? "defaults" : variant.name];
      for (FaultKind kind : kKinds) {
        // A sample counts back from the last transfer, so that it always takes the end of the
        // download, where a switch of the hardware shows most.
        for (int step = 0; step * variant.stride < transfers; ++step) {
          const int index =
              variant.sample ? transfers - 1 - step * variant.stride : step * variant.stride;
          const std::string label = Label(route, variant.name, kind, index);
          if (!Selected(label)) {
            continue;
          }
          SCOPED_TRACE(label);
          watchdog.Arm(label);
          std::shared_ptr<sim::CameraDevice> camera;
          FaultCase one;
          const auto result =
              one.Run(route, {kind, index}, reference.get(), &camera, variant.value);
          if (OnlyCases() != nullptr) {
            one.Dump(result);
          }
          for (Tally* t : {&tally, &total}) {
            ++t->cases;
            ++t->outcomes[result.outcome];
          }
          const auto finding = [&](const std::string& what) {
            tally.findings.push_back(what);
            tally.findings.back().append(": ").append(label);
            total.findings.push_back(tally.findings.back());
            ADD_FAILURE() << what << ": " << label << " " << Describe(*camera, *reference);
          };
          if (result.outcome == Outcome::kSuccess && !result.holds) {
            ++tally.falseSuccesses;
            ++total.falseSuccesses;
            finding("success reported without the whole image");
          }
          if (result.outcome == Outcome::kUnconfirmed && !result.holds) {
            ++tally.unconfirmedOld;
            ++total.unconfirmedOld;
          }
          if (result.outcome == Outcome::kSilent) {
            finding("ended without a message");
          }
          if (result.outcome == Outcome::kErrorBox && result.holds) {
            ++tally.falseFailures;
            ++total.falseFailures;
          }
          if (!result.retryPossible) {
            ++tally.notRetryable;
            ++total.notRetryable;
          }
          if (result.retryPossible && result.retrySucceeded) {
            for (Tally* t : {&tally, &total}) {
              ++t->retried;
              t->replugged += result.replugged ? 1 : 0;
            }
          } else {
            finding(result.retryPossible ? "second update failed" : "no second update possible");
          }
        }
      }
    }
  }
  Print(tallies);
  std::printf("\nper switch value:");
  Print(perVariant, false);
}

}  // namespace
}  // namespace veltra::test
