#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "app/app_state.h"
#include "app/resource_ids.h"
#include "image/firmware_image.h"
#include "image_test_support.h"
#include "support/bench_fixture.h"
#include "support/firmware_files.h"

namespace veltra {
namespace {

using test::Bytes;
using test::PayloadContents;

// The bench's System with in-memory files on top: a file may claim to be longer than what it can
// deliver (a read that comes up short), and every close is counted.
class MemoryFileSystem : public sim::SimSystem {
 public:
  using SimSystem::SimSystem;

  void Serve(const std::wstring& path, Bytes data, long claimedLength = -1) {
    auto& file = files_[path];
    file.claimed = claimedLength < 0 ? static_cast<long>(data.size()) : claimedLength;
    file.data = std::move(data);
  }
  int closes() const { return closes_; }

  std::FILE* OpenFile(const wchar_t* path, const char* mode) override {
    const auto it = files_.find(path);
    if (it == files_.end()) {
      return SimSystem::OpenFile(path, mode);
    }
    auto* cookie = new Cookie{&it->second, 0, &closes_};
    cookie_io_functions_t io{};
    io.read = &Read;
    io.seek = &Seek;
    io.close = &Close;
    return fopencookie(cookie, mode, io);
  }

 private:
  struct File {
    Bytes data;
    long claimed = 0;
  };
  struct Cookie {
    File* file;
    long position;
    int* closes;
  };
  static ssize_t Read(void* c, char* buffer, size_t size) {
    auto* cookie = static_cast<Cookie*>(c);
    const long available = static_cast<long>(cookie->file->data.size()) - cookie->position;
    const size_t n = available <= 0 ? 0 : std::min(size, static_cast<size_t>(available));
    if (n != 0) {
      std::memcpy(buffer, cookie->file->data.data() + cookie->position, n);
    }
    cookie->position += static_cast<long>(n);
    return static_cast<ssize_t>(n);
  }
  static int Seek(void* c, off64_t* offset, int whence) {
    auto* cookie = static_cast<Cookie*>(c);
    const long base = whence == SEEK_END   ? cookie->file->claimed
                      : whence == SEEK_CUR ? cookie->position
                                           : 0;
    cookie->position = base + static_cast<long>(*offset);
    *offset = cookie->position;
    return 0;
  }
  static int Close(void* c) {
    auto* cookie = static_cast<Cookie*>(c);
    ++*cookie->closes;
    delete cookie;
    return 0;
  }

  std::map<std::wstring, File> files_;
  int closes_ = 0;
};

class BrowseTest : public test::BenchTest {
 protected:
  BrowseTest() {
    auto files = std::make_unique<MemoryFileSystem>(clock_);
    files_ = files.get();
    system_ = std::move(files);
    Ports set = ports();
    set.system = system_.get();
    InstallPorts(set);
  }

  // A selection made earlier, whose payloads must not survive a failed one.
  void SelectEarlierFile() {
    const Bytes mcu = test::McuFileBytes();
    ASSERT_EQ(SplitFirmwareFile(mcu.data(), static_cast<std::uint32_t>(mcu.size())), 1);
  }

  MemoryFileSystem* files_ = nullptr;
};

TEST_F(BrowseTest, CancelChangesNothingAndFilterOrderFollowsNxpMode) {
  SelectEarlierFile();
  const std::uint8_t* part1 = imagePart1.data;
  const std::uint8_t* part2 = imagePart2.data;
  dialog_.SetItemText(IDC_EDIT_FIRMWARE_PATH, L"C:\\fw\\earlier.img");

  dialog_.QueueOpenFile(std::nullopt);
  EXPECT_EQ(Browse(), 2);
  g_bNXPMode = 1;
  dialog_.QueueOpenFile(std::nullopt);
  EXPECT_EQ(Browse(), 2);

  EXPECT_EQ(imagePart1.data, part1);
  EXPECT_EQ(imagePart2.data, part2);
  EXPECT_EQ(g_bMCUImage, 1);
  EXPECT_EQ(dialog_.Item(IDC_EDIT_FIRMWARE_PATH).text, L"C:\\fw\\earlier.img");
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
  const auto requests = dialog_.FileRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_FALSE(requests[0].binFirst);  // *.IMG first
  EXPECT_TRUE(requests[1].binFirst);   // *.BIN first once the NXP route is armed
  EXPECT_EQ(requests[0].flags, 0x1808u);
  EXPECT_EQ(requests[1].flags, 0x1808u);
}

TEST_F(BrowseTest, EachSelectionShowsItsPathAndReplacesTheEarlierKind) {
  const Bytes mcu = test::McuFileBytes(15, 100, 700);
  const Bytes bitstream = test::PayloadBytes(4000, 3);
  const Bytes image = test::PayloadBytes(1500, 4);
  const auto mcuFile = test::WriteTempFile("camera_mcu.img", mcu);
  const auto fpgaFile = test::WriteTempFile("camera_fpga.img", test::FpgaFile(bitstream, image));

  dialog_.QueueOpenFile(mcuFile.path);
  ASSERT_EQ(Browse(), 1);
  EXPECT_EQ(dialog_.Item(IDC_EDIT_FIRMWARE_PATH).text, mcuFile.path);
  EXPECT_EQ(std::wstring(g_szFirmwareTitle), L"camera_mcu.img");
  EXPECT_EQ(g_bMCUImage, 1);
  EXPECT_EQ(g_mcuChunkCount, 2u);

  dialog_.QueueOpenFile(fpgaFile.path);
  ASSERT_EQ(Browse(), 1);
  EXPECT_EQ(dialog_.Item(IDC_EDIT_FIRMWARE_PATH).text, fpgaFile.path);
  EXPECT_EQ(std::wstring(g_szFirmwareTitle), L"camera_fpga.img");
  EXPECT_EQ(g_bFPGAImage, 1);
  EXPECT_EQ(g_bMCUImage, 0);
  EXPECT_EQ(g_bCombinedImage, 0);
  EXPECT_EQ(g_mcuChunkCount, 0u);
  EXPECT_EQ(PayloadContents(imagePart1), bitstream);
  EXPECT_EQ(PayloadContents(imagePart2), image);
}

TEST_F(BrowseTest, VanishedFileAsksToCheckThePathAndDropsTheEarlierImage) {
  SelectEarlierFile();
  const std::wstring path = test::WindowsPath(test::TestTempDir() + "/gone.img");
  dialog_.QueueOpenFile(path);

  EXPECT_EQ(Browse(), 0);
  const auto boxes = dialog_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"Check File Path!");
  EXPECT_EQ(boxes[0].caption, L"Error");
  EXPECT_EQ(boxes[0].style, 0x30u);
  EXPECT_TRUE(boxes[0].owned);
  EXPECT_EQ(dialog_.Item(IDC_EDIT_FIRMWARE_PATH).text, path);
  EXPECT_TRUE(test::ImageStateEmpty());
}

// The file is closed on every way out, and a failed read leaves no image behind.
TEST_F(BrowseTest, FileIsClosedOnEveryOutcome) {
  const std::wstring path = L"C:\\firmware\\served.img";
  struct Case {
    const char* name;
    Bytes data;
    long claimed;
    int failAllocation;
    int result;
    std::wstring lastTrace;
  };
  const Bytes good = test::CombinedFileBytes(2);
  Bytes noSecond(good.begin(), good.begin() + 20);
  const std::vector<Case> cases = {
      {"fewer bytes than the length", good, static_cast<long>(good.size()) + 100, 0, 0,
       L"Reading from file failed....\r\n"},
      {"file buffer not allocated", good, -1, 1, 0, L"Memory Allocation FAiled..\r\n"},
      {"layout refused", noSecond, -1, 0, 0, L"Substring not found for Image2....\r\n"},
      {"empty file", Bytes(), -1, 0, 0, L"Firmware file is empty....\r\n"},
      {"combined file read", good, -1, 0, 1, L""},
  };
  int expectedCloses = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetPayloadAllocator(nullptr);
    SelectEarlierFile();
    system_->ClearTrace();
    files_->Serve(path, c.data, c.claimed);
    if (c.failAllocation != 0) {
      test::FailAllocation(c.failAllocation);
    }
    dialog_.QueueOpenFile(path);

    EXPECT_EQ(Browse(), c.result);
    EXPECT_EQ(files_->closes(), ++expectedCloses);
    const auto trace = system_->TraceLines();
    if (c.result == 0) {
      ASSERT_FALSE(trace.empty());
      EXPECT_EQ(trace.back(), c.lastTrace);
      EXPECT_TRUE(test::ImageStateEmpty());
    } else {
      EXPECT_EQ(g_bCombinedImage, 1);
      EXPECT_EQ(g_imageType, 2);
    }
  }
  EXPECT_TRUE(dialog_.MessageBoxes().empty());  // the dialog reports these, not Browse
}

}  // namespace
}  // namespace veltra
