// The bench's VendorLibrary port: a virtual SunplusCamera.dll. Its entry points are real C
// functions (the program calls them through the pointers GetProc hands out, exactly as it calls
// the real library); they act on the active SimVendorLibrary, which finds the Sunplus-based
// camera (7E51:C181 or 1BCF:0B12) on the bus, reports progress through the program's callback and
// writes the image into the camera: a sim::MirelCamera receives it (ReceiveImage) and restarts on
// it (Reboot) when the download has succeeded; any other device there keeps nothing, and the image
// stays readable in LastDownload().
//
// Only one SimVendorLibrary is active at a time (the last one constructed); the entry points of a
// library whose bench object is gone answer "no camera" and "failed".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/vendor_library.h"
#include "sim/bus.h"

namespace veltra::sim {

class TrafficLog;

class SimVendorLibrary : public VendorLibrary {
 public:
  // Writes a downloaded image into the camera instead of the default; false when the camera
  // refuses it.
  using ImageReceiver =
      std::function<bool(VirtualDevice& camera, const std::uint8_t* image, std::size_t length)>;

  explicit SimVendorLibrary(Bus& bus);
  ~SimVendorLibrary() override;
  SimVendorLibrary(const SimVendorLibrary&) = delete;
  SimVendorLibrary& operator=(const SimVendorLibrary&) = delete;

  // ---- VendorLibrary ----
  Handle Load(const wchar_t* name) override;
  void* GetProc(Handle library, const char* ansiName) override;
  void Free(Handle library) override;

  // ---- bench controls ----
  // The DLL is not installed: Load fails.
  void SetInstalled(bool installed);
  // An export the library lacks (GetProc answers nullptr for it).
  void RemoveEntryPoint(const std::string& name);
  // Get_FlashType writes this type and returns result.
  void SetFlashType(std::uint8_t type, std::int32_t result = 0);
  // Download_FW_Verbose fails after reporting the progress values up to (excluding) this index
  // (-1: never fails).
  void FailDownloadAt(int progressIndex);
  // The progress values the download reports, in order (default 0, 10, ..., 100).
  void SetProgress(const std::vector<int>& values);
  void SetImageReceiver(ImageReceiver receiver);
  // Writes a "library" line per entry-point call.
  void SetTrafficLog(TrafficLog* log);

  // ---- inspection ----
  // Loaded and not yet freed.
  int OpenLibraries() const;
  int LoadCount() const;
  // Entry-point calls as "Name(args)=result", in order.
  std::vector<std::string> Calls() const;
  // The camera opened by SunplusCam_Init (nullptr when none).
  std::shared_ptr<VirtualDevice> OpenedCamera() const;
  // What the program passed to Download_FW_Verbose last (arguments 1 to 11; the image as bytes).
  struct DownloadCall {
    std::vector<std::uint8_t> image;
    std::int32_t length = 0;
    std::int32_t flashType = 0;
    std::int32_t reserved[6] = {};  // arguments 4 to 9
    bool callbackGiven = false;
    std::int32_t last = 0;  // argument 11
    std::vector<std::int32_t> callbackResults;
  };
  DownloadCall LastDownload() const;

  // ---- the entry points' work (called by the exported functions) ----
  std::int32_t Init(std::int32_t reserved);
  std::int32_t UnInit(std::int32_t reserved);
  std::int32_t GetFlashType(std::uint8_t* flashType);
  std::int32_t Download(std::uint8_t* image, std::int32_t length, std::int32_t flashType,
                        const std::int32_t (&reserved)[6],
                        const std::function<std::int32_t(std::int32_t)>& progress,
                        bool callbackGiven, std::int32_t last);
  std::int32_t CheckWriteProtected();

 private:
  void Log(const std::string& call, const std::string& args, std::int32_t result);
  std::string DeviceName() const;

  Bus& bus_;
  mutable std::mutex mutex_;
  bool installed_ = true;
  std::set<std::string> removed_;
  std::uint8_t flashType_ = 1;
  std::int32_t flashTypeResult_ = 0;
  int failAt_ = -1;
  std::vector<int> progress_;
  ImageReceiver receiver_;
  TrafficLog* log_ = nullptr;
  std::set<Handle> open_;
  Handle nextHandle_ = 0x5A000;
  int loads_ = 0;
  std::vector<std::string> calls_;
  std::shared_ptr<VirtualDevice> camera_;
  DownloadCall last_;
};

}  // namespace veltra::sim
