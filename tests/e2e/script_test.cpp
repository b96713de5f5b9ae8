// The scenario scripts' reader: words, escapes and comments, each step's arguments, the errors a
// script author sees, and every scenario of the end-to-end stage read as the driver reads it (a
// typo there would otherwise only show under Wine).
//
// The driver itself is a Windows program; its reader is portable and compiled here.
#include "tests/e2e/driver/script.cpp"  // NOLINT(bugprone-suspicious-include)

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
      {"# only a comment", {}},
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
  EXPECT_EQ(error, "unterminated quote");
  EXPECT_FALSE(SplitWords(R"(select "a\qb")", &words, &error));
  EXPECT_EQ(error, "unknown escape \\q");
  EXPECT_FALSE(SplitWords(R"(select "ends in a backslash\)", &words, &error));
}

TEST(ScriptSteps, ArgumentsAreResolvedAndLinesCounted) {
  const std::string source =
      "# header\n"
      "timeout 15\r\n"
      "\n"
      "env VELTRA_DEMO_SPEED 20\n"
      "click read-version\n"
      "expect-text 1004 \"50%\"\n"
      "expect-entries\n"
      "expect-entries \"a(VID_1,PID_2_0)\" \"b\"\n"
      "box Veltra_FW_Updater \"Proceed?\" no\n"
      "dialog-expect Warning ok disabled\n"
      "bench fault 1 short@3\n"
      "run other.exe -1\n";
  std::vector<Step> steps;
  std::string error;
  ASSERT_TRUE(ParseScript(source, &steps, &error)) << error;
  ASSERT_EQ(steps.size(), 10u);
  EXPECT_EQ(steps[0].op, Op::kTimeout);
  EXPECT_EQ(steps[0].number, 15);
  EXPECT_EQ(steps[0].line, 2);
  EXPECT_EQ(steps[0].source, "timeout 15");
  EXPECT_EQ(steps[1].args, (std::vector<std::wstring>{L"VELTRA_DEMO_SPEED", L"20"}));
  EXPECT_EQ(steps[2].control, 1005);
  EXPECT_EQ(steps[2].line, 5);
  EXPECT_EQ(steps[3].control, 1004);
  EXPECT_EQ(steps[3].args[1], L"50%");
  EXPECT_TRUE(steps[4].args.empty());
  EXPECT_EQ(steps[5].args, (std::vector<std::wstring>{L"a(VID_1,PID_2_0)", L"b"}));
  EXPECT_EQ(ButtonId(steps[6].args[2]), 7);
  EXPECT_EQ(steps[7].control, 1020);
  EXPECT_EQ(steps[8].args, (std::vector<std::wstring>{L"fault", L"1", L"short@3"}));
  EXPECT_EQ(steps[9].number, -1);
}

TEST(ScriptSteps, MistakesNameTheLineAndTheProblem) {
  struct Case {
    std::string source;
    std::string error;
  };
  const Case cases[] = {
      {"clik update\n", "line 1: unknown step \"clik\""},
      {"sleep 1\nclick\n", "line 2: click takes 1 argument(s), not 0"},
      {"click update now\n", "line 1: click takes 1 argument(s), not 2"},
      {"click updat\n", "line 1: unknown control \"updat\""},
      {"click 70000\n", "line 1: unknown control \"70000\""},
      {"sleep soon\n", "line 1: \"soon\" is not a number"},
      {"sleep 12345678901\n", "line 1: \"12345678901\" is not a number"},
      {"timeout 0\n", "line 1: number out of range: timeout 0"},
      {"timeout 601\n", "line 1: number out of range: timeout 601"},
      {"no-box Error -5\n", "line 1: number out of range: no-box Error -5"},
      {"box Error \"Failed\" maybe\n", "line 1: unknown button \"maybe\" (ok, yes, no)"},
      {"dialog-expect Warning ok greyed\n",
       "line 1: state \"greyed\" is neither enabled nor disabled"},
      {"select \"caf\xC3\xA9\"\n", "line 1: only ASCII text is supported: \"caf\xC3\xA9\""},
      {"bench\n", "line 1: bench takes 1 or more argument(s), not 0"},
      {"# nothing but comments\n\n", "the script has no steps"},
      {"select \"open\n", "line 1: unterminated quote"},
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
  const std::filesystem::path here = std::filesystem::path(__FILE__).parent_path();
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
