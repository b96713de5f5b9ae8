// Shared pieces of the fuzz targets.
//
// Every target is a check function, std::string Check...(data, size), that runs one input through
// the program (or the bench) and returns "" when every property it checks holds, or a description
// of the first broken one. The libFuzzer entry (VELTRA_FUZZ_TARGET) turns a broken property into
// an abort, which libFuzzer keeps as a crash input; the regression tests call the same check
// functions on the inputs we found, under the normal test build (built with VELTRA_FUZZ_REPLAY,
// where the entry is left out).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "core/update_controller.h"
#include "devices/device_table.h"
#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"
#include "image/firmware_image.h"
#include "loaders/fx3_download.h"
#include "platform/ports.h"
#include "sim/bus.h"
#include "sim/sim_system.h"
#include "sim/virtual_clock.h"

namespace veltra::fuzz {

using Bytes = std::vector<std::uint8_t>;

// ---- reading the input -------------------------------------------------------------------------

// Reads structured values out of the fuzzer's bytes, front to back. Reads past the end give zeros
// and empty fields, so every input is a valid (if short) description.
class InputReader {
 public:
  // Fields are separated by a line feed, so that text seeds stay readable.
  static constexpr std::uint8_t kFieldSeparator = 0x0A;
  // In wide fields, 0x7F followed by two bytes (big-endian) is one 16-bit character: the way to
  // write a line feed, a character beyond Latin-1 or a lone 0x7F into a text.
  static constexpr std::uint8_t kWideEscape = 0x7F;

  InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool empty() const { return pos_ >= size_; }
  std::size_t remaining() const { return empty() ? 0 : size_ - pos_; }

  std::uint8_t Byte() { return empty() ? 0 : data_[pos_++]; }
  std::uint16_t U16() {
    const std::uint16_t low = Byte();
    return static_cast<std::uint16_t>(low | (Byte() << 8));
  }

  // Up to count bytes (fewer at the end of the input).
  Bytes Take(std::size_t count) {
    const std::size_t n = count < remaining() ? count : remaining();
    Bytes out(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return out;
  }

  // The bytes up to the next separator (which is consumed) or the end of the input.
  Bytes Field() {
    Bytes out;
    while (!empty()) {
      const std::uint8_t b = data_[pos_++];
      if (b == kFieldSeparator) {
        break;
      }
      out.push_back(b);
    }
    return out;
  }

  // A field as a wide text: each byte one character (Latin-1), escapes as above. A 0 byte stays
  // in the text, so a C-string view of it ends there, as an OS string with an embedded 0 would.
  std::wstring WideField() { return Widen(Field()); }

  static std::wstring Widen(const Bytes& bytes) {
    std::wstring out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == kWideEscape && i + 2 < bytes.size()) {
        out.push_back(static_cast<wchar_t>((bytes[i + 1] << 8) | bytes[i + 2]));
        i += 2;
      } else {
        out.push_back(static_cast<wchar_t>(bytes[i]));
      }
    }
    return out;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// ---- the bench for one input -------------------------------------------------------------------

// A fresh program state and the bench's System port on an instant clock for one input; the ports
// that were installed before are put back when it goes. Targets add the ports they need to `set`
// and call Install().
class Bench {
 public:
  Bench() : previous_(ports()) {
    Controller().Reset();
    set.system = &system;
    Install();
  }
  ~Bench() {
    system.JoinAllThreads();
    SelectImage(CurrentUpdate(), nullptr);
    InstallPorts(previous_);
  }
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  void Install() { InstallPorts(set); }

  sim::VirtualClock clock{0.0};
  sim::SimSystem system{clock};
  sim::Bus bus;
  Ports set;

 private:
  Ports previous_;
};

// ---- fields in byte buffers -------------------------------------------------------------------

// Read here on their own, so that a misread field in the program's byte-order helper is not shared.
inline std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}
inline std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         p[3];
}

// ---- texts as the program stores them -------------------------------------------------------

// A text as a C string sees it (up to an embedded 0), cut to a fixed buffer of `chars`.
inline std::wstring AsStored(const std::wstring& text, std::size_t chars = kPathChars) {
  return text.substr(0, text.find(L'\0')).substr(0, chars - 1);
}

inline std::wstring AsciiCase(std::wstring text, bool upper) {
  for (wchar_t& c : text) {
    const wchar_t from = upper ? L'a' : L'A';
    if (c >= from && c <= from + 25) {
      c = static_cast<wchar_t>(c - from + (upper ? L'A' : L'a'));
    }
  }
  return text;
}
inline std::wstring AsciiUpper(const std::wstring& text) {
  return AsciiCase(text, true);
}

// The `count` characters that begin `skip` after the start of the first `marker` in text, as the
// passes cut IDs, instance keys and serials; false when the marker is missing or the text ends
// within `skip` (the cut then writes nothing).
inline bool CutAfter(const std::wstring& text, const wchar_t* marker, std::size_t skip,
                     std::size_t count, std::wstring* out) {
  const std::size_t at = text.find(marker);
  if (at == std::wstring::npos || text.size() - at < skip) {
    return false;
  }
  *out = text.substr(at + skip, count);
  return true;
}

// The four characters after "VID_" / "PID_" (or "vid_" / "pid_"), "" when the marker is missing.
inline std::wstring IdAfter(const std::wstring& text, const wchar_t* marker) {
  std::wstring id;
  CutAfter(text, marker, 4, 4, &id);
  return id;
}

// A fixed field ends within its size.
inline bool Terminated(const wchar_t* field, std::size_t chars) {
  return std::find(field, field + chars, L'\0') != field + chars;
}

// A record put into the table before a pass runs; the pass must leave it as it was.
inline DeviceRecord EarlierRecord(int i) {
  DeviceRecord r;
  std::memset(&r, 0, sizeof r);
  std::swprintf(r.friendlyName, kPathChars, L"earlier camera %d", i);
  std::wcscpy(r.vidText, L"7E51");
  std::wcscpy(r.pidText, L"C1D0");
  std::swprintf(r.devicePath, kPathChars, L"\\\\?\\usb#vid_7e51&pid_c1d0&mi_00#%d", i);
  return r;
}

// Puts `count` earlier records into the table (the pass appends after them).
inline void FillEarlierRecords(int count) {
  for (int i = 0; i < count; ++i) {
    Controller().List().DeviceTable[i] = EarlierRecord(i);
  }
  Controller().List().nDeviceCount = count;
}
// What a pass over the device table must leave: `count` records, the earlier ones as they were,
// and no device information set open.
inline std::string BrokenTableAfterPass(int start, int count, int openObjects) {
  for (int i = 0; i < start; ++i) {
    const DeviceRecord before = EarlierRecord(i);
    if (std::memcmp(&before, &Controller().List().DeviceTable[i], sizeof before) != 0) {
      return "an earlier record was changed";
    }
  }
  if (Controller().List().nDeviceCount != count) {
    return "the table holds " + std::to_string(Controller().List().nDeviceCount) +
           " records, expected " + std::to_string(count);
  }
  return openObjects == 0 ? "" : "the pass left a device information set open";
}

// ---- the rules the targets hold the program to ----------------------------------------------

// The boot-mode devices: an accepted VID and an accepted PID, each the four characters after its
// marker in the upper-cased hardware ID (of which the program keeps 259 characters).
inline bool BootModeId(const std::wstring& hardwareId) {
  const std::wstring upper = AsciiUpper(hardwareId.substr(0, kPathChars - 1));
  const auto oneOf = [](const std::wstring& id, std::initializer_list<const wchar_t*> accepted) {
    return std::any_of(accepted.begin(), accepted.end(), [&](const wchar_t* a) { return id == a; });
  };
  return oneOf(IdAfter(upper, L"VID_"), {L"7E51", L"04B4", L"1FC9"}) &&
         oneOf(IdAfter(upper, L"PID_"), {L"DF00", L"00F3", L"DF01", L"0135", L"DF02"});
}

// ---- reporting ---------------------------------------------------------------------------------

// Collects the first broken property of one run.
class Findings {
 public:
  // Records what when ok is false (only the first one is kept); returns ok.
  bool Expect(bool ok, const std::string& what) {
    if (!ok && first_.empty()) {
      first_ = what;
    }
    return ok;
  }
  bool clean() const { return first_.empty(); }
  std::string Result() const { return first_; }

 private:
  std::string first_;
};

// Wide text as ASCII for messages (other characters as '?').
inline std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
  }
  return out;
}

using CheckFunction = std::string (*)(const std::uint8_t* data, std::size_t size);

// The libFuzzer side: a broken property ends the process so that libFuzzer keeps the input.
inline int RunOrAbort(CheckFunction check, const std::uint8_t* data, std::size_t size) {
  const std::string broken = check(data, size);
  if (!broken.empty()) {
    std::fprintf(stderr, "property broken: %s\n", broken.c_str());
    std::abort();
  }
  return 0;
}

}  // namespace veltra::fuzz

#ifdef VELTRA_FUZZ_REPLAY
#define VELTRA_FUZZ_TARGET(check)
#else
#define VELTRA_FUZZ_TARGET(check)                                                     \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
    return ::veltra::fuzz::RunOrAbort(check, data, size);                             \
  }
#endif
