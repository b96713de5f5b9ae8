// The scenario scripts' reader: words, escapes and comments, and every scenario of the end-to-end
// stage read as the driver reads it (a typo there would otherwise only show under Wine).
//
// The driver (tools/e2e-driver) is a Windows program; its reader is portable and compiled here.
#include "tools/e2e-driver/script.cpp"  // NOLINT(bugprone-suspicious-include)

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace veltra::e2e {
namespace {

TEST(ScriptWords, QuotesEscapesAndComments) {
  struct Case {
    std::string line;
    std::vector<std::string> words;
  };
  const Case cases[] = {
      {"click  update\t", {"click", "update"}},
      {R"(box Success "Done!\r\nReally" ok)", {"box", "Success", "Done!\r\nReally", "ok"}},
      {R"(expect-text path "")", {"expect-text", "path", ""}},
      {R"(x "a \"q\" \\ \t b")", {"x", "a \"q\" \\ \t b"}},
      {R"(select "a # not a comment" # a comment)", {"select", "a # not a comment"}},
      {"sleep 5\r", {"sleep", "5"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> words;
    std::string error;
    EXPECT_TRUE(SplitWords(c.line, &words, &error)) << c.line << ": " << error;
    EXPECT_EQ(words, c.words) << c.line;
  }
  std::vector<std::string> words;
  std::string error;
  EXPECT_FALSE(SplitWords(R"(select "open)", &words, &error));
  EXPECT_FALSE(SplitWords(R"(select "a\qb")", &words, &error));
  EXPECT_EQ(error, "unknown escape \\q");
  EXPECT_FALSE(SplitWords(R"(select "ends in a backslash\)", &words, &error));
}

// Every scenario of the stage and the demo's tour, read as the driver reads them.
TEST(ScriptSteps, EveryScenarioOfTheStageReads) {
  const std::filesystem::path here = std::filesystem::path(VELTRA_SOURCE_ROOT) / "tests" / "e2e";
  std::vector<std::filesystem::path> scripts = {here / "demo_tour.txt"};
  for (const auto& entry : std::filesystem::directory_iterator(here / "scenarios")) {
    scripts.push_back(entry.path());
  }
  ASSERT_GE(scripts.size(), 10u);
  for (const auto& script : scripts) {
    std::ifstream file(script, std::ios::binary);
    ASSERT_TRUE(file) << script;
    std::stringstream text;
    text << file.rdbuf();
    std::vector<Step> steps;
    std::string error;
    EXPECT_TRUE(ParseScript(text.str(), &steps, &error)) << script << ": " << error;
    // A scenario starts the program it drives and ends it through EXIT.
    ASSERT_FALSE(steps.empty()) << script;
    bool starts = false;
    for (const Step& step : steps) {
      starts = starts || step.op == Op::kStart;
    }
    EXPECT_TRUE(starts) << script;
    EXPECT_EQ(steps.back().op, Op::kWaitExit) << script;
  }
}

}  // namespace
}  // namespace veltra::e2e
