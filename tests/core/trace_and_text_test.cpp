#include <string>

#include "core/debug_trace.h"
#include "core/text.h"
#include "support/bench_fixture.h"

namespace veltra {
namespace {

using test::BenchTest;

TEST_F(BenchTest, OverlongTraceLineIsCutAt2046CharactersAndTerminated) {
  const std::wstring longText(5000, L'x');
  DebugPrint(1, L"%ls", longText.c_str());
  const auto lines = system_->TraceLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), kTraceBufferChars - 2);
  DebugPrint(0, L"never written");
  EXPECT_EQ(system_->TraceLines().size(), 1u);
}

TEST(Text, CopiesAreCutToFitAndTerminated) {
  wchar_t field[260];
  const std::wstring longPath(400, L'p');
  CopyText(field, longPath.c_str());
  EXPECT_EQ(std::wstring(field).size(), 259u);

  wchar_t small[5];
  EXPECT_EQ(FormatText(small, 5, L"%ls", L"abcdefgh"), 4);
  EXPECT_EQ(std::wstring(small), L"abcd");
  EXPECT_FALSE(TextEqualsNoCase(L"1bcf", L"1BC"));  // a prefix is no match
}

}  // namespace
}  // namespace veltra
