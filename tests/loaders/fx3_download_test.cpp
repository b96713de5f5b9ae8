// The FX3 boot-loader route: the boot image parsed and written into the controller's RAM through
// the Cypress driver's request record, then started.
#include "loaders/fx3_download.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dfu/dfu_requests.h"
#include "image/loader_files.h"
#include "loaders/loader_fixture.h"
#include "sim/cameras/cx3_camera.h"
#include "support/firmware_files.h"

namespace veltra::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Records every Cypress driver request; the others are not used by the route.
class RecordingUsb : public UsbTransport {
 public:
  Handle OpenDevice(const wchar_t*) override { return 0x42; }
  void CloseDevice(Handle) override {}
  bool WinUsbInitialize(Handle, Handle*) override { return false; }
  void WinUsbFree(Handle) override {}
  bool ControlTransfer(Handle, const SetupPacket&, std::uint8_t*, std::uint32_t*) override {
    return false;
  }
  bool DeviceIoControl(Handle device, std::uint32_t ioctl, std::uint8_t* record,
                       std::uint32_t length, std::uint32_t* returned) override {
    handles.push_back(device);
    ioctls.push_back(ioctl);
    records.emplace_back(record, record + length);
    if (returned != nullptr) {
      *returned = length;
    }
    return static_cast<int>(records.size()) != failAt;
  }

  std::vector<Handle> handles;
  std::vector<std::uint32_t> ioctls;
  std::vector<Bytes> records;
  int failAt = -1;  // 1-based request that fails
};

std::uint32_t Le(const Bytes& b, std::size_t at, int size) {
  std::uint32_t v = 0;
  for (int i = 0; i < size; ++i) {
    v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
  }
  return v;
}

// A raw boot image: "CY", two header bytes, then the given 32-bit words.
Bytes RawImage(std::initializer_list<std::uint32_t> words, const char* signature = "CY") {
  Bytes out = {static_cast<std::uint8_t>(signature[0]), static_cast<std::uint8_t>(signature[1]),
               0x1C, 0xB0};
  for (std::uint32_t w : words) {
    fwgen::AppendLe32(out, w);
  }
  return out;
}

class Fx3DownloadTest : public LoaderTest {
 protected:
  void UseRecorder() {
    Ports set = ports();
    set.usb = &recorder_;
    InstallPorts(set);
    lastOpenedHandle = 0x42;
  }
  RecordingUsb recorder_;
};

TEST_F(Fx3DownloadTest, BootImageReachesTheRomAndStartsTheLoadedProgram) {
  sim::Cx3Camera::Options options;
  options.startMode = sim::Cx3Camera::Mode::kBootRom;
  options.serial = L"FX3SER0001";
  auto camera = std::make_shared<sim::Cx3Camera>(options);
  bus_.Plug(camera);
  ASSERT_NE(Initialize_USBHanlde(bus_.UsbInterfacePath(camera.get()).c_str()), kNullHandle);

  const Bytes big = fwgen::StampedPayload(4000, Version{}, 12);
  const Bytes small = fwgen::StampedPayload(64, Version{}, 13);
  SetPayload(g_loaderImage,
             fwgen::Fx3BootImage({{0x40003000, big}, {0x40000000, small}}, 0x40003000));

  EXPECT_EQ(DoDownloadCypress(), 1u);

  const sim::Fx3Rom rom = camera->Rom();
  EXPECT_EQ(rom.Ram(0x40003000, big.size()), big);
  EXPECT_EQ(rom.Ram(0x40000000, small.size()), small);
  EXPECT_EQ(rom.EntryAddress(), 0x40003000u);
  // The loaded program came back on the bus as the maker's DFU device, same serial.
  EXPECT_EQ(camera->CurrentMode(), sim::Cx3Camera::Mode::kLoadedProgram);
  EXPECT_EQ(camera->Id().vid, sim::kMakerVid);
  EXPECT_EQ(camera->Id().pid, sim::kDfuPid);
  EXPECT_EQ(camera->Serial(), L"FX3SER0001");

  const std::vector<LogEntry> requests = Log("cypress");
  const std::vector<std::vector<long long>> expected = {{64, 160, 0x3000, 0x4000, 2048},
                                                        {64, 160, 0x3800, 0x4000, 1952},
                                                        {64, 160, 0x0000, 0x4000, 64},
                                                        {64, 160, 0x3000, 0x4000, 0}};
  ASSERT_EQ(requests.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(requests[i].setup, expected[i]);
  }
  EXPECT_EQ(g_loaderImage.data, nullptr);
  EXPECT_EQ(g_bLoaderDownloadBusy.load(), 0);
  EXPECT_TRUE(Traced(L"DoDownloadCypress ++\r\n"));
  EXPECT_TRUE(Traced(L"DoDownloadCypress --\r\n"));
}

TEST_F(Fx3DownloadTest, RequestRecordLayout) {
  UseRecorder();
  Bytes data(300);
  for (std::size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<std::uint8_t>(i);
  }
  ASSERT_EQ(DownloadBufferToDevice(data.data(), 300, 0x12345678), 1);
  ASSERT_EQ(recorder_.records.size(), 1u);
  EXPECT_EQ(recorder_.ioctls[0], 0x220020u);
  EXPECT_EQ(recorder_.handles[0], 0x42u);
  const Bytes& r = recorder_.records[0];
  ASSERT_EQ(r.size(), 38u + 300u);
  EXPECT_EQ(r[0], 0x40);
  EXPECT_EQ(r[1], 0xA0);
  EXPECT_EQ(Le(r, 2, 2), 0x5678u);
  EXPECT_EQ(Le(r, 4, 2), 0x1234u);
  EXPECT_EQ(Le(r, 6, 2), 300u);
  EXPECT_EQ(Le(r, 8, 4), 5u);  // time-out in seconds
  for (std::size_t i = 12; i < 30; ++i) {
    EXPECT_EQ(r[i], 0) << "byte " << i;
  }
  EXPECT_EQ(Le(r, 30, 4), 38u);
  EXPECT_EQ(Le(r, 34, 4), 300u);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), r.begin() + 38));
  EXPECT_TRUE(Traced(L"\n XferData:: DeviceIoControl  GetLastError() = 0 338\r\n"));

  // Guards: no data pointer, a length wLength cannot carry, a length that disagrees with wLength.
  EXPECT_EQ(XferData(SetupPacket{0x40, 0xA0, 0, 0, 0}, nullptr, 0), 0);
  Bytes huge(0x10000);
  EXPECT_EQ(DownloadBufferToDevice(huge.data(), 0x10000, 0), 0);
  EXPECT_EQ(XferData(SetupPacket{0x40, 0xA0, 0, 0, 10}, data.data(), 11), 0);
  EXPECT_EQ(recorder_.records.size(), 1u);
}

TEST_F(Fx3DownloadTest, ImageShapesGiveTheirRequests) {
  struct Request {
    std::uint16_t value, index, length;
  };
  struct Case {
    const char* name;
    Bytes image;
    std::uint32_t result;
    std::vector<Request> requests;
  };
  Bytes fourThousand = RawImage({1000, 4096});
  fourThousand.resize(fourThousand.size() + 4000, 0x5A);
  fwgen::AppendLe32(fourThousand, 0);
  fwgen::AppendLe32(fourThousand, 4096);
  Bytes pastEnd = RawImage({100, 0x40000000});
  pastEnd.resize(pastEnd.size() + 399, 0x11);  // one byte short of 100 words
  const std::vector<Case> cases = {
      {"terminator only", RawImage({0, 0x12345678}), 1, {{0x5678, 0x1234, 0}}},
      {"4000 bytes at 4096", fourThousand, 1, {{4096, 0, 2048}, {6144, 0, 1952}, {4096, 0, 0}}},
      {"wrong signature", RawImage({0, 0x4000}, "CX"), 0, {}},
      {"signature only", Bytes{'C', 'Y'}, 0, {}},
      {"no terminating section", RawImage({1, 0x40000000, 0xAABBCCDD}), 0, {}},
      {"terminator cut short", RawImage({1, 0x40000000, 0xAABBCCDD, 0}), 0, {}},
      {"section past the end", pastEnd, 0, {}},
      {"word count overflowing 32 bits", RawImage({0x40000001, 0x40000000, 0, 0}), 0, {}},
  };
  UseRecorder();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder_.records.clear();
    g_bLoaderDownloadBusy = 0;
    SetPayload(g_loaderImage, c.image);
    EXPECT_EQ(DoDownloadCypress(), c.result);
    ASSERT_EQ(recorder_.records.size(), c.requests.size());
    for (std::size_t i = 0; i < c.requests.size(); ++i) {
      const Bytes& r = recorder_.records[i];
      EXPECT_EQ(Le(r, 2, 2), c.requests[i].value);
      EXPECT_EQ(Le(r, 4, 2), c.requests[i].index);
      EXPECT_EQ(Le(r, 6, 2), c.requests[i].length);
      EXPECT_EQ(r.size(), 38u + c.requests[i].length);
    }
    // A failure keeps the boot image and the busy flag, so no second download starts.
    EXPECT_EQ(g_bLoaderDownloadBusy.load(), c.result == 1 ? 0 : 1);
    EXPECT_EQ(g_loaderImage.data == nullptr, c.result == 1);
  }
  EXPECT_TRUE(Traced(L"DoDownloadCypress :: boot image section runs past the end\r\n"));
  EXPECT_TRUE(Traced(L"DoDownloadCypress :: boot image has no terminating section\r\n"));
}

TEST_F(Fx3DownloadTest, FailedRequestEndsTheDownloadBeforeTheEntry) {
  UseRecorder();
  recorder_.failAt = 2;
  SetPayload(g_loaderImage, fwgen::Fx3BootImage({{0x40003000, Bytes(6000, 0x33)}}, 0x40003000));
  EXPECT_EQ(DoDownloadCypress(), 0u);
  EXPECT_EQ(recorder_.records.size(), 2u);
  EXPECT_TRUE(Traced(L"XferData:: DeviceIoControl:: count not equal to zero  ++\n"));
  EXPECT_TRUE(Traced(L"XferData:: DeviceIoControl:: Failed \r\n"));
  EXPECT_FALSE(Traced(L"DoDownloadCypress --\r\n"));
  EXPECT_EQ(g_bLoaderDownloadBusy.load(), 1);
  EXPECT_NE(g_loaderImage.data, nullptr);

  // Nothing loaded at all.
  ReleasePayload(g_loaderImage);
  recorder_.records.clear();
  EXPECT_EQ(DoDownloadCypress(), 0u);
  EXPECT_TRUE(recorder_.records.empty());
}

}  // namespace
}  // namespace veltra::test
