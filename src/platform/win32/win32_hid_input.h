// The HID input-report port on Windows: a read handle of the program's own on a HID interface
// found by its vendor and product ID (and serial), read with overlapped I/O and a bounded wait.
#pragma once

#include "platform/hid_input.h"

namespace veltra {

class Win32HidInput : public HidInput {
 public:
  Handle OpenHidInput(const wchar_t* parentDevicePath) override;
  void CloseHidInput(Handle input) override;
  std::uint32_t ReadInputReport(Handle input, std::uint8_t* report, std::uint32_t length,
                                std::uint32_t timeoutMs) override;
};

}  // namespace veltra
