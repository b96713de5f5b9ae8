// Fuzz target: cutting IDs out of hardware IDs and device paths (GetVidPid, FindMatchDFUDevice,
// GetUSBInstanceID, UniqueIDFromUsbDevicePath).
//
// The input is one text (see InputReader::Widen). Each function gets it in a heap buffer of its
// exact length and writes into outputs of exactly the size its callers give, so that a read or
// write past either shows. Properties: the text is upper-cased in place; an output whose marker is
// missing (or stands too near the end) keeps what it held; otherwise it holds the characters that
// follow the marker, at most four for the IDs and ten for the instance key; and the boot-mode
// match agrees with the accepted VID and PID lists; the serial of an update-mode device path is
// the part between its second and third "#", cut to ten characters, or "00" when it holds "&".
#include <algorithm>
#include <cwchar>
#include <memory>

#include "devices/discovery_passes.h"
#include "devices/usb_serial.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_targets.h"

namespace veltra::fuzz {

namespace device_ids {

constexpr std::size_t kIdChars = 10;   // the VID / PID fields the passes give GetVidPid
constexpr std::size_t kKeyChars = 11;  // the unique ID / key fields of the serial resolution
constexpr wchar_t kUntouched = L'#';

// A heap copy of the text up to its first 0, terminated, at its exact size.
std::unique_ptr<wchar_t[]> HeapText(const std::wstring& text) {
  std::unique_ptr<wchar_t[]> out(new wchar_t[text.size() + 1]);
  std::wmemcpy(out.get(), text.c_str(), text.size());
  out[text.size()] = L'\0';
  return out;
}

std::unique_ptr<wchar_t[]> Sentinel(std::size_t chars) {
  std::unique_ptr<wchar_t[]> out(new wchar_t[chars]);
  std::wmemset(out.get(), kUntouched, chars);
  return out;
}

void CheckField(Findings& f, const wchar_t* field, std::size_t chars, bool cut,
                const std::wstring& expected, const std::string& name) {
  if (!cut) {
    f.Expect(std::wstring(field, chars) == std::wstring(chars, kUntouched),
             name + " was written although its marker is missing");
    return;
  }
  const std::size_t length = std::wcslen(field) < chars ? std::wcslen(field) : chars;
  f.Expect(length < chars && std::wstring(field, length) == expected,
           name + " is \"" + Narrow(std::wstring(field, length)) + "\", expected \"" +
               Narrow(expected) + "\"");
}

}  // namespace device_ids

std::string CheckDeviceIds(const std::uint8_t* data, std::size_t size) {
  using namespace device_ids;
  Bench bench;
  Findings f;
  const std::wstring full = InputReader::Widen(Bytes(data, data + size));
  const std::wstring text = full.substr(0, full.find(L'\0'));
  const std::wstring upper = AsciiUpper(text);

  // GetVidPid: upper-cases the text, cuts four characters after each marker.
  {
    auto buffer = HeapText(text);
    auto vid = Sentinel(kIdChars);
    auto pid = Sentinel(kIdChars);
    GetVidPid(buffer.get(), vid.get(), pid.get());
    f.Expect(std::wstring(buffer.get()) == upper, "GetVidPid did not upper-case the text");
    std::wstring expected;
    const bool vidCut = CutAfter(upper, L"VID_", 4, 4, &expected);
    CheckField(f, vid.get(), kIdChars, vidCut, expected, "VID");
    const bool pidCut = CutAfter(upper, L"PID_", 4, 4, &expected);
    CheckField(f, pid.get(), kIdChars, pidCut, expected, "PID");
  }

  // FindMatchDFUDevice: works on the first 259 characters; VID and PID judged separately.
  {
    auto hardwareId = HeapText(text);
    const int match = FindMatchDFUDevice(hardwareId.get());
    f.Expect(std::wstring(hardwareId.get()) == text, "FindMatchDFUDevice changed its argument");
    f.Expect(match == (BootModeId(text) ? 1 : 0),
             "FindMatchDFUDevice answered " + std::to_string(match));
  }

  // GetUSBInstanceID: ten characters from six after "MI_".
  {
    auto path = HeapText(text);
    auto key = Sentinel(kKeyChars);
    GetUSBInstanceID(path.get(), key.get());
    f.Expect(std::wstring(path.get()) == upper, "GetUSBInstanceID did not upper-case the path");
    std::wstring expected;
    const bool cut = CutAfter(upper, L"MI_", 6, 10, &expected);
    CheckField(f, key.get(), kKeyChars, cut, expected, "instance key");
  }
  // UniqueIDFromUsbDevicePath: works on a copy of the first 259 characters, upper-cased.
  {
    auto path = HeapText(text);
    auto unique = Sentinel(kKeyChars);
    const int result = UniqueIDFromUsbDevicePath(path.get(), unique.get());
    f.Expect(std::wstring(path.get()) == text, "UniqueIDFromUsbDevicePath changed its argument");
    const std::wstring cut = upper.substr(0, kPathChars - 1);
    const std::wstring prefix = L"\\\\?\\USB#";
    std::wstring expected;
    bool found = false;
    if (cut.compare(0, prefix.size(), prefix) == 0) {
      const std::size_t start = cut.find(L'#', prefix.size());
      const std::size_t end = start == std::wstring::npos ? start : cut.find(L'#', start + 1);
      if (end != std::wstring::npos && end > start + 1) {
        found = true;
        expected = cut.substr(start + 1, std::min<std::size_t>(end - start - 1, 10));
        if (expected.find(L'&') != std::wstring::npos) {
          expected = L"00";
        }
      }
    }
    f.Expect(result == (found ? 1 : 0),
             "UniqueIDFromUsbDevicePath answered " + std::to_string(result));
    CheckField(f, unique.get(), kKeyChars, found, expected, "update-mode serial");
  }
  return f.Result();
}

}  // namespace veltra::fuzz

VELTRA_FUZZ_TARGET(veltra::fuzz::CheckDeviceIds)
