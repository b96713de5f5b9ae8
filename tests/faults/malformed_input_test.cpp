// Damaged and unusual firmware files through the whole program: each is refused with its message
// and nothing reaches the camera, and a refused Browse leaves no update armed from an earlier
// good choice.
#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../app/scenario_fixture.h"
#include "core/resource_ids.h"
#include "sim/cameras/dfu_cameras.h"

namespace veltra::test {
namespace {

class MalformedInputTest : public ScenarioTest {
 protected:
  void SetUp() override {
    camera_ = Plug(std::make_shared<sim::GenericCamera>());
    StartProgram();
    good_ = ExampleFile("mcu.img", "Veltra_RX40M_mcu.img");
  }
  // Browse picks path; it must be refused, leave F/W UPDATE off and send nothing to the camera.
  void ExpectRefused(const std::wstring& path) {
    Browse(good_);
    ASSERT_TRUE(Enabled(IDC_BTN_FW_UPDATE));
    dialog_.ClearRecords();
    camera_->SetFault({});
    Browse(path);
    EXPECT_FALSE(BoxTexts().empty());
    EXPECT_FALSE(Enabled(IDC_BTN_FW_UPDATE));
    EXPECT_EQ(Text(IDC_EDIT_FIRMWARE_PATH), L"");
    // Even a press that slipped through would find nothing to send.
    UpdateAndConfirm();
    Settle();
    EXPECT_EQ(camera_->TransferCount(), 0);
    EXPECT_FALSE(camera_->InUpdateMode());
  }
  std::shared_ptr<sim::GenericCamera> camera_;
  std::wstring good_;
};

TEST_F(MalformedInputTest, DamagedFilesAreRefusedAndSendNothing) {
  const std::vector<std::uint8_t> file = ExampleBytes("mcu.img");
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Case> cases = {
      {"empty.img", {}},
      {"truncated.img", std::vector<std::uint8_t>(file.begin(), file.begin() + 12)},
  };
  // A section length that runs past the end of the file.
  std::vector<std::uint8_t> pastEnd = file;
  pastEnd.resize(file.size() / 2);
  cases.push_back({"past_end.img", pastEnd});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectRefused(WriteTempFile(c.name, c.bytes).path);
  }
}

TEST_F(MalformedInputTest, ADirectoryIsRefused) {
  const std::string dir = TestTempDir() + "/a_folder.img";
  ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  ExpectRefused(WindowsPath(dir));
}

}  // namespace
}  // namespace veltra::test
