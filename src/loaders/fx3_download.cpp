// The FX3 boot image goes into the controller's RAM section by section, each in requests of at
// most 2048 bytes wrapped in the Cypress driver's single-transfer record, and the entry request
// (the same vendor request without data) starts the loaded program.
//
// The whole image is checked before the first request: a damaged image is refused without a byte
// sent, so the controller is never left holding half a program.
#include "loaders/fx3_download.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "core/byte_order.h"
#include "core/debug_trace.h"
#include "dfu/dfu_requests.h"
#include "image/loader_files.h"
#include "platform/ports.h"

namespace veltra {

namespace {

// Boot image layout.
constexpr std::uint8_t kSignature[2] = {0x43, 0x59};  // "CY"
constexpr std::uint32_t kFirstSectionOffset = 4;
constexpr std::uint32_t kSectionHeaderSize = 8;  // N words, then the address
constexpr std::uint32_t kBytesPerWord = 4;

// Requests to the boot loader.
constexpr std::uint32_t kMaxChunk = 2048;
constexpr std::uint8_t kRequestTypeVendorOut = 0x40;
constexpr std::uint8_t kRequestLoad = 0xA0;
constexpr std::uint32_t kMaxControlLength = 0xFFFF;  // wLength is 16 bits

// The Cypress driver's single-transfer record: offsets of its little-endian fields.
constexpr std::uint32_t kRecordHeaderSize = 38;
constexpr std::size_t kRecRequestType = 0;
constexpr std::size_t kRecRequest = 1;
constexpr std::size_t kRecValue = 2;
constexpr std::size_t kRecIndex = 4;
constexpr std::size_t kRecLength = 6;
constexpr std::size_t kRecTimeout = 8;
constexpr std::size_t kRecEndpoint = 13;
constexpr std::size_t kRecBufferOffset = 30;
constexpr std::size_t kRecBufferLength = 34;
constexpr std::uint32_t kRequestTimeoutSeconds = 5;
constexpr std::uint8_t kControlEndpoint = 0;

const wchar_t* ImageErrorTrace(Fx3ImageError error) {
  switch (error) {
    case Fx3ImageError::kBadSignature:
      return L"DoDownloadCypress :: boot image signature not found\r\n";
    case Fx3ImageError::kNoTerminator:
      return L"DoDownloadCypress :: boot image has no terminating section\r\n";
    case Fx3ImageError::kSectionPastEnd:
      return L"DoDownloadCypress :: boot image section runs past the end\r\n";
    case Fx3ImageError::kNone:
      break;
  }
  return L"";
}

// Sends one section in chunks; false when a request fails.
bool SendSection(const DfuLink& link, const std::uint8_t* image, const Fx3Section& section,
                 std::uint8_t* buffer) {
  std::uint32_t address = section.address;
  std::uint32_t done = 0;
  while (done < section.length) {
    const std::uint32_t chunk = std::min(kMaxChunk, section.length - done);
    std::memcpy(buffer, image + section.offset + done, chunk);
    if (DownloadBufferToDevice(link, buffer, chunk, address) == 0) {
      return false;
    }
    address += chunk;
    done += chunk;
  }
  return true;
}

}  // namespace

Fx3ImageError ParseFx3BootImage(const std::uint8_t* image, std::uint32_t length,
                                Fx3BootImage* parsed) {
  if (parsed == nullptr) {
    return Fx3ImageError::kBadSignature;
  }
  *parsed = Fx3BootImage{};
  if (image == nullptr || length < kFirstSectionOffset ||
      std::memcmp(image, kSignature, sizeof kSignature) != 0) {
    return Fx3ImageError::kBadSignature;
  }
  // 64-bit offsets: a section of 2^30 words or more must not wrap around.
  std::uint64_t offset = kFirstSectionOffset;
  for (;;) {
    if (offset + kSectionHeaderSize > length) {
      return Fx3ImageError::kNoTerminator;
    }
    const std::uint32_t words = GetLe32(image, length, static_cast<std::size_t>(offset));
    const std::uint32_t address = GetLe32(image, length, static_cast<std::size_t>(offset) + 4);
    offset += kSectionHeaderSize;
    if (words == 0) {
      parsed->entryAddress = address;
      return Fx3ImageError::kNone;
    }
    const std::uint64_t bytes = static_cast<std::uint64_t>(words) * kBytesPerWord;
    if (offset + bytes > length) {
      return Fx3ImageError::kSectionPastEnd;
    }
    parsed->sections.push_back(
        Fx3Section{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(bytes), address});
    offset += bytes;
  }
}

int XferData(const DfuLink& link, const SetupPacket& setup, const std::uint8_t* data,
             std::uint32_t length) {
  if (data == nullptr) {
    return 0;
  }
  // wLength carries the length, so it bounds the record too (38 + L cannot overflow).
  if (length > kMaxControlLength || setup.wLength != length) {
    DebugPrint(1, L"XferData:: request length %u refused\r\n", length);
    return 0;
  }
  try {
    const std::uint32_t recordSize = kRecordHeaderSize + length;
    std::vector<std::uint8_t> record(recordSize, 0);
    record[kRecRequestType] = setup.bmRequestType;
    record[kRecRequest] = setup.bRequest;
    PutLe16(record.data(), record.size(), kRecValue, setup.wValue);
    PutLe16(record.data(), record.size(), kRecIndex, setup.wIndex);
    PutLe16(record.data(), record.size(), kRecLength, setup.wLength);
    PutLe32(record.data(), record.size(), kRecTimeout, kRequestTimeoutSeconds);
    record[kRecEndpoint] = kControlEndpoint;
    PutLe32(record.data(), record.size(), kRecBufferOffset, kRecordHeaderSize);
    PutLe32(record.data(), record.size(), kRecBufferLength, length);
    if (length != 0) {
      std::memcpy(&record[kRecordHeaderSize], data, length);
    }

    std::uint32_t returned = 0;
    const bool ok = Usb().DeviceIoControl(link.lastOpenedHandle.load(), kIoctlCypressEp0Transfer,
                                          record.data(), recordSize, &returned);
    DebugPrint(1, L"\n XferData:: DeviceIoControl  GetLastError() = %d %d\r\n",
               static_cast<int>(Sys().GetLastError()), static_cast<int>(recordSize));
    if (ok) {
      return 1;
    }
    DebugPrint(1, L"XferData:: DeviceIoControl:: count not equal to zero  ++\n");
    return 0;
  } catch (...) {
    DebugPrint(1, L"Exception SendData...\r\n");
    return 0;
  }
}

int DownloadBufferToDevice(const DfuLink& link, const std::uint8_t* data, std::uint32_t length,
                           std::uint32_t address) {
  try {
    SetupPacket setup;
    setup.bmRequestType = kRequestTypeVendorOut;
    setup.bRequest = kRequestLoad;
    setup.wValue = static_cast<std::uint16_t>(address & 0xFFFF);
    setup.wIndex = static_cast<std::uint16_t>(address >> 16);
    setup.wLength = static_cast<std::uint16_t>(length & 0xFFFF);
    if (length > kMaxControlLength || XferData(link, setup, data, length) == 0) {
      DebugPrint(1, L"XferData:: DeviceIoControl:: Failed \r\n");
      return 0;
    }
    return 1;
  } catch (...) {
    DebugPrint(1, L"Exception DownloadBufferToDevice...\r\n");
    return 0;
  }
}

namespace {

std::uint32_t LoadBootImage(Payload& image, const DfuLink& link) {
  std::vector<std::uint8_t> buffer;
  try {
    buffer.resize(kMaxChunk);
  } catch (const std::bad_alloc&) {
    DebugPrint(1, L"Memory Aloocation FAiled..\r\n");
    return 0;
  }
  if (image.data == nullptr) {
    DebugPrint(1, L"DoDownloadCypress :: no boot image loaded\r\n");
    return 0;
  }
  Fx3BootImage parsed;
  const Fx3ImageError error = ParseFx3BootImage(image.data, image.length, &parsed);
  if (error != Fx3ImageError::kNone) {
    RawTrace(ImageErrorTrace(error));
    return 0;
  }
  for (const Fx3Section& section : parsed.sections) {
    if (!SendSection(link, image.data, section, buffer.data())) {
      return 0;
    }
  }
  // The entry request: no data, the entry address in wValue/wIndex. The controller restarts
  // with the loaded program, so the request may well fail; nothing depends on its outcome.
  DownloadBufferToDevice(link, buffer.data(), 0, parsed.entryAddress);
  ReleasePayload(image);
  return 1;
}

}  // namespace

std::uint32_t DoDownloadCypress(BootLoaderStep& step, UpdateSession& update) {
  std::uint32_t loaded = 0;
  try {
    DebugPrint(1, L"DoDownloadCypress ++\r\n");
    loaded = LoadBootImage(step.loaderImage, step.fx3Link);
  } catch (...) {
    DebugPrint(1, L"Exception DoDownloadCypress...\r\n");
  }
  // The ROM has its program (or will not take it): the handle has done its work either way.
  ReleasePayload(step.loaderImage);
  CloseFx3Handle(step.fx3Link);
  // A ROM that keeps waiting with nothing loaded is told to the user (when it was the updated
  // camera's) by the dialog, which holds it until it is re-plugged.
  EndLoaderDownload(step, update, loaded != 0);
  if (loaded != 0) {
    DebugPrint(1, L"DoDownloadCypress --\r\n");
  }
  return loaded;
}

}  // namespace veltra
