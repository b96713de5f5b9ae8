// The check of every fuzz target (see fuzz_support.h): "" when the input kept every property the
// target checks, otherwise what broke. The regression tests call them on the inputs we found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace veltra::fuzz {

// Program parsers.
std::string CheckFirmwareFile(const std::uint8_t* data, std::size_t size);
std::string CheckFx3BootImage(const std::uint8_t* data, std::size_t size);
std::string CheckDeviceIds(const std::uint8_t* data, std::size_t size);
std::string CheckDeviceConnect(const std::uint8_t* data, std::size_t size);
std::string CheckCaptureDevices(const std::uint8_t* data, std::size_t size);
std::string CheckUsbSerial(const std::uint8_t* data, std::size_t size);

// Bench parsers.
std::string CheckNxpReports(const std::uint8_t* data, std::size_t size);
std::string CheckBenchRecords(const std::uint8_t* data, std::size_t size);

}  // namespace veltra::fuzz
