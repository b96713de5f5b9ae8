// Browse over in-memory files: cancel, a vanished file, a read that comes up short, a failed
// allocation; the file is closed on every way out and nothing half-read stays selected.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "core/app_state.h"
#include "core/resource_ids.h"
#include "image/firmware_image.h"
#include "image_test_support.h"
#include "support/bench_fixture.h"
#include "support/firmware_files.h"

namespace veltra {
namespace {

using test::Bytes;

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

TEST_F(BrowseTest, CancelChangesNothingAndAVanishedFileDropsTheEarlierImage) {
  SelectEarlierFile();
  const std::uint8_t* part1 = imagePart1.data;
  dialog_.SetItemText(IDC_EDIT_FIRMWARE_PATH, L"C:\\fw\\earlier.img");
  dialog_.QueueOpenFile(std::nullopt);
  EXPECT_EQ(Browse(), 2);
  EXPECT_EQ(imagePart1.data, part1);
  EXPECT_EQ(g_bMCUImage, 1);
  EXPECT_EQ(dialog_.Item(IDC_EDIT_FIRMWARE_PATH).text, L"C:\\fw\\earlier.img");
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
  ASSERT_EQ(dialog_.FileRequests().size(), 1u);
  EXPECT_FALSE(dialog_.FileRequests()[0].binFirst);  // *.IMG first outside the NXP route
  EXPECT_EQ(dialog_.FileRequests()[0].flags, 0x1808u);

  const std::wstring path = test::WindowsPath(test::TestTempDir() + "/gone.img");
  dialog_.QueueOpenFile(path);
  EXPECT_EQ(Browse(), 0);
  const auto boxes = dialog_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"Check File Path!");
  EXPECT_EQ(boxes[0].caption, L"Error");
  EXPECT_EQ(boxes[0].style, 0x30u);
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
  };
  const Bytes good = test::CombinedFileBytes(2);
  const std::vector<Case> cases = {
      {"fewer bytes than the length", good, static_cast<long>(good.size()) + 100, 0, 0},
      {"file buffer not allocated", good, -1, 1, 0},
      {"layout refused", Bytes(good.begin(), good.begin() + 20), -1, 0, 0},
      {"empty file", Bytes(), -1, 0, 0},
      {"combined file read", good, -1, 0, 1},
  };
  int expectedCloses = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetPayloadAllocator(nullptr);
    SelectEarlierFile();
    files_->Serve(path, c.data, c.claimed);
    if (c.failAllocation != 0) {
      test::FailAllocation(c.failAllocation);
    }
    dialog_.QueueOpenFile(path);

    EXPECT_EQ(Browse(), c.result);
    EXPECT_EQ(files_->closes(), ++expectedCloses);
    if (c.result == 0) {
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
