#include "console/device_text.h"

#include <cstdio>
#include <type_traits>

namespace veltra::console {

namespace {

constexpr const char kUsbHop[] = "#USB(";

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

}  // namespace

std::string PortOfLocation(const std::string& locationPath) {
  std::string port;
  std::size_t at = locationPath.find(kUsbHop);
  while (at != std::string::npos) {
    const std::size_t digits = at + sizeof kUsbHop - 1;
    const std::size_t close = locationPath.find(')', digits);
    if (close == std::string::npos || close == digits) {
      break;
    }
    if (!port.empty()) {
      port.push_back('.');
    }
    port += locationPath.substr(digits, close - digits);
    at = locationPath.find(kUsbHop, close);
  }
  return port;
}

std::string VidPidText(std::uint16_t vid, std::uint16_t pid) {
  char text[10] = {};
  std::snprintf(text, sizeof text, "%04X:%04X", static_cast<unsigned>(vid),
                static_cast<unsigned>(pid));
  return text;
}

const char* ModeName(DeviceMode mode) {
  switch (mode) {
    case DeviceMode::kNormal:
      return "normal";
    case DeviceMode::kUpdate:
      return "update";
    case DeviceMode::kBootRom:
      return "boot-rom";
  }
  return "unknown";
}

const char* RouteName(Route route) {
  switch (route) {
    case Route::kModeSwitch:
      return "mode-switch";
    case Route::kDfu:
      return "dfu";
    case Route::kFx3Loader:
      return "fx3-loader";
    case Route::kNxpLoader:
      return "nxp-loader";
    case Route::kSunplusLibrary:
      return "sunplus-library";
    case Route::kUnknown:
      break;
  }
  return "unknown";
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kUpdated:
      return "updated";
    case Outcome::kFailed:
      return "failed";
    case Outcome::kUnconfirmed:
      return "unconfirmed";
    case Outcome::kRefused:
      return "refused";
    case Outcome::kAccessDenied:
      return "access-denied";
    case Outcome::kSkipped:
      return "skipped";
  }
  return "failed";
}

std::string Utf8(const std::wstring& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    // A wchar_t, which the check takes for a signed char.
    // NOLINTNEXTLINE(bugprone-signed-char-misuse)
    std::uint32_t code = static_cast<std::make_unsigned_t<wchar_t>>(text[i]);
    // UTF-16 (Windows' wchar_t): a surrogate pair is one character; a lone half is replaced.
    if (sizeof(wchar_t) == 2 && code >= 0xD800 && code <= 0xDFFF) {
      const std::uint32_t low = i + 1 < text.size() ? static_cast<std::uint32_t>(text[i + 1]) : 0;
      if (code <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else {
        code = 0xFFFD;
      }
    } else if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      code = 0xFFFD;
    }
    AppendUtf8(out, code);
  }
  return out;
}

std::wstring WideAscii(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    out.push_back(byte < 0x80 ? static_cast<wchar_t>(byte) : L'?');
  }
  return out;
}

std::wstring WideUtf8(const std::string& text) {
  std::wstring out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int extra = lead < 0x80           ? 0
                      : (lead >> 5) == 0x6  ? 1
                      : (lead >> 4) == 0xE  ? 2
                      : (lead >> 3) == 0x1E ? 3
                                            : -1;
    std::uint32_t code = extra == 0   ? lead
                         : extra == 1 ? lead & 0x1F
                         : extra == 2 ? lead & 0x0F
                                      : lead & 0x07;
    bool whole = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
    for (int k = 1; whole && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      whole = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    i += whole ? static_cast<std::size_t>(extra) + 1 : 1;
    if (!whole || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      code = 0xFFFD;
    }
    if (sizeof(wchar_t) == 2 && code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(code));
    }
  }
  return out;
}

bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) {
      return false;
    }
  }
  return true;
}

std::string VersionOfText(const std::wstring& text) {
  // How each family's version text begins.
  constexpr char kVersionLabel[] = "Firmware Version";
  const std::string shown = Utf8(text);
  if (shown.rfind(kVersionLabel, 0) != 0) {
    return "";
  }
  const std::size_t start = shown.find_first_not_of(" =:", sizeof kVersionLabel - 1);
  const std::size_t end = shown.find_last_not_of(" \r\n");
  if (start == std::string::npos || end < start) {
    return "";
  }
  return shown.substr(start, end - start + 1);
}

}  // namespace veltra::console
