// The words and numbers the console shows for a listed device: its USB port, VID:PID, mode and
// route, and the UTF-8 form of the program's UTF-16 texts.
#pragma once

#include <cstdint>
#include <string>

#include "console/update_driver.h"

namespace veltra::console {

// The USB port of a location path, as line tools name it: the USB(n) hops from the root hub,
// joined by '.' ("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)#USB(1)" is "3.1"); empty when the path
// has none.
std::string PortOfLocation(const std::string& locationPath);
// "7E51:C1D0".
std::string VidPidText(std::uint16_t vid, std::uint16_t pid);
const char* ModeName(DeviceMode mode);
const char* RouteName(Route route);
const char* OutcomeName(Outcome outcome);

std::string Utf8(const std::wstring& text);
// The UTF-16 (UTF-32 off Windows) form of a UTF-8 text, such as a file's path; a broken sequence
// becomes U+FFFD.
std::wstring WideUtf8(const std::string& text);
// Widens ASCII (names, serials and file titles are ASCII on these cameras); other bytes become
// '?', which matches nothing.
std::wstring WideAscii(const std::string& text);
// What the program's version read showed, without its label: "Firmware Version = 2.1.7.3" is
// "2.1.7.3"; empty when it is not a version (the read failed, or a CX3 camera's two versions).
std::string VersionOfText(const std::wstring& text);
// Equal, ignoring ASCII case (Windows writes serials and ports in either).
bool SameNoCase(const std::string& a, const std::string& b);

}  // namespace veltra::console
