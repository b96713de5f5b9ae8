// The scenario scripts' reader: words, escapes and comments, the errors a script author sees, and
// every scenario of the end-to-end stage read as the driver reads it (a typo there would otherwise
// only show under Wine).
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

TEST(ScriptSteps, MistakesNameTheLineAndTheProblem) {
  struct Case {
    std::string source;
    std::string error;
  };
  const Case cases[] = {
      {"clik update\n", "line 1: unknown step \"clik\""},
      {"sleep 1\nclick\n", "line 2: click takes 1 argument(s), not 0"},
      {"click updat\n", "line 1: unknown control \"updat\""},
      {"sleep soon\n", "line 1: \"soon\" is not a number"},
      {"sleep 12345678901\n", "line 1: \"12345678901\" is not a number"},
      {"timeout 0\n", "line 1: number out of range: timeout 0"},
      {"no-box Error -5\n", "line 1: number out of range: no-box Error -5"},
      {"box Error \"Failed\" maybe\n", "line 1: unknown button \"maybe\" (ok, yes, no)"},
      {"dialog-expect Warning ok greyed\n",
       "line 1: state \"greyed\" is neither enabled nor disabled"},
      {"select \"caf\xC3\xA9\"\n", "line 1: only ASCII text is supported: \"caf\xC3\xA9\""},
      {"bench\n", "line 1: bench takes 1 or more argument(s), not 0"},
      {"# nothing but comments\n\n", "the script has no steps"},
  };
  for (const Case& c : cases) {
    std::vector<Step> steps = {Step{}};
    std::string error;
    EXPECT_FALSE(ParseScript(c.source, &steps, &error)) << c.source;
    EXPECT_EQ(error, c.error) << c.source;
    EXPECT_TRUE(steps.empty()) << c.source;
  }
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
