// A failed update must leave nothing armed for the next one: after the failure (and a re-plug
// where the user needs one) the dialog is ready again and a new Browse and update bring the
// camera its whole new firmware.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "../app/scenario_fixture.h"
#include "app/resource_ids.h"
#include "sim/cameras/dfu_cameras.h"

namespace veltra::test {
namespace {

class RetryAfterFailureTest : public ScenarioTest {
 protected:
  // Trace lines written from now on, for what the next update does.
  std::size_t Mark() const { return system_->TraceLines().size(); }
  int TracedSince(std::size_t mark, const std::wstring& fragment) const {
    const auto lines = system_->TraceLines();
    int count = 0;
    for (std::size_t i = mark; i < lines.size(); ++i) {
      count += lines[i].find(fragment) != std::wstring::npos ? 1 : 0;
    }
    return count;
  }
  bool Warned() const {
    for (int id : dialog_.ModalDialogsOpened()) {
      if (id == IDD_WARNING_DIALOG) {
        return true;
      }
    }
    return false;
  }
};

// The family without a mode-switch timer of its own gets the one every family has: a minute after
// a refused switch the update ends with a message and the dialog is usable again.
TEST_F(RetryAfterFailureTest, RefusedTarsaSwitchIsToldWithinAMinuteAndTheNextUpdateWorks) {
  auto camera = Plug(std::make_shared<sim::TarsaCamera>());
  StartProgram();
  const std::wstring path = ExampleFile("mcu.img", "Veltra_Tarsa_mcu.img");
  Browse(path);
  camera->SetFault({sim::FaultKind::kTransferError, 0});  // the switch command is refused
  UpdateAndConfirm();
  Settle();
  EXPECT_FALSE(camera->InUpdateMode());
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_FALSE(Enabled(IDC_BTN_EXIT));

  clock_.Advance(60000);
  dialog_.FireDueTimers();
  Settle();
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"The camera did not enter its firmware update "
                                                  L"mode.\r\nPlease re-plug the camera and try "
                                                  L"again."});
  EXPECT_TRUE(Enabled(IDC_BTN_BROWSE));
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));

  camera->SetFault({});
  dialog_.ClearRecords();
  Browse(path);
  UpdateAndConfirm();
  Settle();
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{kSuccessText});
  EXPECT_TRUE(camera->Version() == NewFirmware());
}

TEST_F(RetryAfterFailureTest, PescaRetryWritesBothPassesAfterAFailureBetweenThem) {
  auto camera = Plug(std::make_shared<sim::PescaCamera>());
  StartProgram();
  const std::wstring path = ExampleFile("combined_type1.img", "Veltra_Pesca_combined.img");
  Browse(path);
  // The erase that opens the first pass is refused: the camera does not expect a second pass
  // and boots after the first, so the program's wait for the second pass ends in a USB failure.
  camera->SetFault({sim::FaultKind::kTransferError, 2});
  UpdateAndConfirm();
  Settle();
  ASSERT_FALSE(Warned());
  ASSERT_FALSE(BoxTexts().empty());
  ASSERT_TRUE(Enabled(IDC_BTN_BROWSE));

  camera->SetFault({});
  dialog_.ClearRecords();
  const std::size_t mark = Mark();
  const int completedBefore = camera->UpdatesCompleted();
  Browse(path);
  UpdateAndConfirm();
  Settle();
  EXPECT_TRUE(Warned());
  EXPECT_EQ(TracedSince(mark, L"writing first part of the image"), 1);
  EXPECT_EQ(TracedSince(mark, L"writing second part of the image"), 1);
  const sim::DfuFlash flash = camera->Flash();
  EXPECT_EQ(flash.eraseCount, 1);
  EXPECT_EQ(flash.manifestCount, 2);
  EXPECT_EQ(camera->UpdatesCompleted(), completedBefore + 1);
  EXPECT_TRUE(camera->Version() == NewFirmware());
}

}  // namespace
}  // namespace veltra::test
