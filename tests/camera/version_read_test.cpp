#include "camera/version_read.h"

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/resource_ids.h"
#include "app/text.h"
#include "devices/device_table.h"
#include "fake_camera_library.h"
#include "support/bench_fixture.h"

namespace veltra {
namespace {

using test::FakeCameraLibrary;
using Reply = FakeCameraLibrary::Reply;

class VersionReadTest : public test::BenchTest {
 protected:
  VersionReadTest() {
    Ports set = ports();
    set.camera = &lib_;
    InstallPorts(set);
    // Every version call answers unless a test says otherwise.
    for (const char* op : {"GetPescaFirmwareVersion", "GetTarsaFirmwareVersion",
                           "GetFirmwareVersionMirel", "ReadFirmwareVersion", "GetHidReport"}) {
      lib_.SetDefault(op, 1);
    }
  }

  void SelectCamera(const wchar_t* vid, const wchar_t* pid) {
    DeviceRecord& record = g_DeviceTable[0];
    CopyText(record.vidText, vid);
    CopyText(record.pidText, pid);
    CopyText(record.devicePath, L"\\\\?\\usb#vid_7e51&pid_c1d0&mi_00#7&2a2b3c4d&0&0000#{x}");
    g_nDeviceCount = 1;
    dialog_.ComboAddString(L"camera");
    dialog_.ComboSetCurSel(0);
    g_bReadVersionBusy = 1;
    dialog_.EnableItem(IDC_BTN_READFW_VERSION, true);
  }

  std::vector<std::wstring> BoxTexts() const {
    std::vector<std::wstring> texts;
    for (const auto& box : dialog_.MessageBoxes()) texts.push_back(box.text);
    return texts;
  }

  void ExpectFinished() const {
    EXPECT_TRUE(dialog_.Item(IDC_BTN_READFW_VERSION).enabled);
    EXPECT_EQ(g_bReadVersionBusy.load(), 0);
  }

  static Reply MakeReply(std::vector<std::uint8_t> head) {
    Reply reply{};
    for (std::size_t i = 0; i < head.size(); ++i) reply[i] = head[i];
    return reply;
  }

  FakeCameraLibrary lib_;
};

TEST_F(VersionReadTest, EachFamilyShowsItsOwnReportAndTheMakersUnitAddsItsOwn) {
  struct Case {
    const wchar_t* vid;
    const wchar_t* pid;
    std::int32_t opensExtensionUnit;
    std::vector<std::wstring> boxes;
  };
  const std::wstring maker = L"Firmware Version = 1.2.300.400\r\n";
  const Case cases[] = {
      {L"7e51", L"C123", 0, {L"Firmware Version = 5.1.2.9"}},
      {L"7e51", L"C05C", 0, {L"Firmware Version : 205.1.2, Version : 9"}},
      {L"7e51", L"C181", 0, {L"Firmware Version : 3.4.258"}},
      {L"7e51", L"C1D0", 1, {maker}},
      // A family camera that also opens through the unit: two boxes, the family's first.
      {L"7e51", L"c129", 1, {L"Firmware Version = 5.1.2.9", maker}},
      // Another vendor's camera with the unit has no version read there.
      {L"04b4", L"00C3", 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.pid, c.pid + 4));
    dialog_.ClearRecords();
    system_->ClearTrace();
    lib_.version4[0] = 5, lib_.version4[1] = 1, lib_.version4[2] = 2, lib_.version4[3] = 9;
    lib_.mirel[0] = 3, lib_.mirel[1] = 4, lib_.mirelBuild = 258;
    lib_.read8[0] = 1, lib_.read8[1] = 2, lib_.read16[0] = 300, lib_.read16[1] = 400;
    lib_.SetDefault("InitExtensionUnit", c.opensExtensionUnit);
    SelectCamera(c.vid, c.pid);

    GetFirmwarVersion();

    EXPECT_EQ(BoxTexts(), c.boxes);
    for (const auto& box : dialog_.MessageBoxes()) {
      EXPECT_EQ(box.caption, L"Veltra_FW_Updater");
      EXPECT_TRUE(box.owned);
      EXPECT_TRUE(Traced(box.text));  // the same text goes to the debugger channel
    }
    EXPECT_TRUE(Traced(L"Current selected index = 0 \r\n"));
    ExpectFinished();
  }
}

TEST_F(VersionReadTest, FailedCallsShowNothingExceptTheMakersFailureBox) {
  // A Pesca camera whose first answer fails is not asked a second time.
  lib_.Queue("GetPescaFirmwareVersion", 0);
  lib_.SetDefault("InitExtensionUnit", 1);
  lib_.SetDefault("ReadFirmwareVersion", 0);
  SelectCamera(L"7E51", L"C123");

  GetFirmwarVersion();

  EXPECT_EQ(lib_.Count("GetPescaFirmwareVersion"), 1);
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Firmware Version Failed"});
  ExpectFinished();
}

TEST_F(VersionReadTest, Cx3CameraReportsBothFirmwaresAfterPollingForReadyReplies) {
  lib_.SetDefault("SetPreparse", 1);
  const Reply busy = MakeReply({0, 1});
  const Reply cx3 = MakeReply({0, 0, 3, 7, 12, 25, 23});
  Reply isp = MakeReply({0, 0, 0x1A, 0x05, 'M', 'a', 'r', ' ', '1', '5', ' ', '2', '4', 0});
  const char time[] = "10:22:33";
  for (std::size_t i = 0; i < sizeof time; ++i) isp[16 + i] = static_cast<std::uint8_t>(time[i]);
  lib_.hidReplies = {busy, busy, cx3, isp};
  SelectCamera(L"04b4", L"00C3");

  GetFirmwarVersion();

  const std::vector<std::vector<std::uint8_t>> sent = {{0xBB, 0, 0}, {0xCC, 0, 0}};
  EXPECT_EQ(lib_.hidReports, sent);
  EXPECT_EQ(lib_.Count("GetHidReport"), 4);
  const auto boxes = dialog_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            L"CX3 firmware version = 3.7\nCX3 firmware build date = 12-25-23 (MM-DD-YY)\n\n"
            L"ISP firmware version = 0x1a.0x5 (26.5)\nISP firmware Build date = Mar 15 24 \n"
            L"ISP firmware Build time = 10:22:33 \n");
  EXPECT_EQ(boxes[0].caption, L"DovedIdiz_ID_Avaraze");
  ExpectFinished();
}

TEST_F(VersionReadTest, Cx3TextsWithoutTerminatorAreCutAtTheReplyEnd) {
  lib_.SetDefault("SetPreparse", 1);
  Reply isp = MakeReply({0, 0, 1, 2});
  for (std::size_t i = 4; i < isp.size(); ++i) isp[i] = 'x';
  lib_.hidReplies = {MakeReply({0, 0}), isp};
  SelectCamera(L"04b4", L"00C3");

  GetFirmwarVersion();

  const auto boxes = BoxTexts();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find(L"Build date = " + std::wstring(60, L'x') + L" \n"), std::wstring::npos);
  EXPECT_NE(boxes[0].find(L"Build time = " + std::wstring(48, L'x') + L" \n"), std::wstring::npos);
}

TEST_F(VersionReadTest, Cx3RouteEndsSilentlyOnEveryFailure) {
  struct Case {
    const char* name;
    std::int32_t preparse, state, hidRead;
    bool readyEver;
    const wchar_t* trace;
    std::size_t reportsSent;
  };
  const Case cases[] = {
      {"no HID interface", 0, 0, 1, true,
       L"IDC_BTN_READFW_VERSION SetPreparseDataAndAttributes \r\n", 0},
      {"firmware not running", 1, 3, 1, true, L"DevicestateCX3SNI uDeviceStatus = 3\r\n", 0},
      {"reply unreadable", 1, 0, 0, true, nullptr, 1},
      {"never ready", 1, 0, 1, false, nullptr, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lib_.hidReports.clear();
    dialog_.ClearRecords();
    lib_.SetDefault("SetPreparse", c.preparse);
    lib_.SetDefault("DevicestateCX3SNI", c.state);
    lib_.SetDefault("GetHidReport", c.hidRead);
    lib_.hidReplies = {MakeReply({0, c.readyEver ? std::uint8_t{0} : std::uint8_t{1}})};
    SelectCamera(L"04b4", L"00C3");
    const auto before = system_->NowMs();

    GetFirmwarVersion();

    EXPECT_TRUE(dialog_.MessageBoxes().empty());
    if (c.trace != nullptr) {
      EXPECT_TRUE(Traced(c.trace));
    }
    EXPECT_EQ(lib_.hidReports.size(), c.reportsSent);
    EXPECT_LE(system_->NowMs() - before, 2u * 100u * 10u);  // each query polls at most 100 x 10 ms
    ExpectFinished();
  }
}

TEST_F(VersionReadTest, ExceptionLeavesTheButtonDisabledAndTheRequestBusy) {
  lib_.SetDefault("InitExtensionUnit", 1);
  lib_.throwOn = "ReadFirmwareVersion";
  SelectCamera(L"7E51", L"C1D0");

  GetFirmwarVersion();

  EXPECT_TRUE(Traced(L"GetFirmwarVersion exception\r\n"));
  EXPECT_FALSE(dialog_.Item(IDC_BTN_READFW_VERSION).enabled);
  EXPECT_EQ(g_bReadVersionBusy.load(), 1);
}

TEST_F(VersionReadTest, NothingSelectedReadsAsAnEmptyRecord) {
  lib_.SetDefault("InitExtensionUnit", 1);
  SelectCamera(L"7E51", L"C1D0");
  dialog_.ComboSetCurSel(-1);

  GetFirmwarVersion();

  EXPECT_EQ(g_nSelectedIndex.load(), -1);
  ASSERT_FALSE(lib_.initPaths.empty());
  EXPECT_EQ(lib_.initPaths.back(), L"");
  EXPECT_TRUE(dialog_.MessageBoxes().empty());  // no vendor ID, so not the maker's camera
  ExpectFinished();
}

}  // namespace
}  // namespace veltra
