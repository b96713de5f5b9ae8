// The boot-loader step: a camera found waiting in a chip vendor's boot ROM (the FX3 ROM, the
// RT1060 ROM) is given the program that brings it to its update mode as soon as the device list
// finds it, whether or not an update is under way. The device list owns the one step and hands
// it to the boot-loader downloads; an update that waits for its camera only learns what became
// of the step through its own phase.
#pragma once

#include <cstdlib>

#include "platform/types.h"

namespace veltra {

// A payload buffer allocated at its exact length (the loader files). Its holder frees it.
struct Payload {
  std::uint8_t* data = nullptr;
  std::uint32_t length = 0;
};

struct BootLoaderStep {
  // The loader file between its read on the dialog thread and its download; the FX3 and NXP
  // downloads release it when they have sent it.
  Payload loaderImage;
  // A boot-loader thread was started and its program has not arrived yet: EXIT stays off.
  Flag bLoaderThreadStarted{0};
  // A boot-loader download runs (or failed and its ROM is still on the bus): the list starts no
  // other.
  Flag bLoaderDownloadBusy{0};
  // Set by a failed loader download and by a removal while the busy flag is set; whichever of
  // the two comes second releases the flag, so that a ROM leaving during the download is not
  // missed.
  Flag loaderFailed{0};
  Flag loaderDeviceLeft{0};

  BootLoaderStep() = default;
  ~BootLoaderStep() { std::free(loaderImage.data); }
  BootLoaderStep(const BootLoaderStep&) = delete;
  BootLoaderStep& operator=(const BootLoaderStep&) = delete;
  BootLoaderStep(BootLoaderStep&&) = delete;
  BootLoaderStep& operator=(BootLoaderStep&&) = delete;

  // Back to the start-up values: no file, no download.
  void Reset() {
    std::free(loaderImage.data);
    loaderImage = Payload{};
    bLoaderThreadStarted = 0;
    bLoaderDownloadBusy = 0;
    loaderFailed = 0;
    loaderDeviceLeft = 0;
  }
};

}  // namespace veltra
