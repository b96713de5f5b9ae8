#include "script.h"

#include <cstdlib>

namespace veltra::e2e {

namespace {

// What each step takes: its words after the name, and which of them is a control or a number.
enum class Arg { kText, kControl, kNumber, kState };

struct OpRow {
  const char* name;
  Op op;
  std::vector<Arg> args;
  bool moreTexts = false;  // further text words may follow (expect-entries, bench)
};

const std::vector<OpRow>& OpTable() {
  static const std::vector<OpRow> table = {
      {"timeout", Op::kTimeout, {Arg::kNumber}},
      {"env", Op::kEnv, {Arg::kText, Arg::kText}},
      {"start", Op::kStart, {Arg::kText}},
      {"run", Op::kRun, {Arg::kText, Arg::kNumber}},
      {"wait-exit", Op::kWaitExit, {Arg::kNumber}},
      {"wait-window", Op::kWaitWindow, {Arg::kText}},
      {"wait-gone", Op::kWaitGone, {Arg::kText}},
      {"expect-foreground", Op::kExpectForeground, {Arg::kText}},
      {"expect-text", Op::kExpectText, {Arg::kControl, Arg::kText}},
      {"expect-text-has", Op::kExpectTextHas, {Arg::kControl, Arg::kText}},
      {"expect-visible", Op::kExpectVisible, {Arg::kControl}},
      {"expect-hidden", Op::kExpectHidden, {Arg::kControl}},
      {"expect-enabled", Op::kExpectEnabled, {Arg::kControl}},
      {"expect-disabled", Op::kExpectDisabled, {Arg::kControl}},
      {"click", Op::kClick, {Arg::kControl}},
      {"expect-entries", Op::kExpectEntries, {}, true},
      {"expect-selected", Op::kExpectSelected, {Arg::kText}},
      {"select", Op::kSelect, {Arg::kText}},
      {"open-file", Op::kOpenFile, {Arg::kText}},
      {"box", Op::kBox, {Arg::kText, Arg::kText, Arg::kText}},
      {"expect-box", Op::kExpectBox, {Arg::kText, Arg::kText}},
      {"no-box", Op::kNoBox, {Arg::kText, Arg::kNumber}},
      {"dialog-expect", Op::kDialogExpect, {Arg::kText, Arg::kControl, Arg::kState}},
      {"dialog-press", Op::kDialogPress, {Arg::kText, Arg::kControl}},
      {"bench", Op::kBench, {Arg::kText}, true},
      {"bench-expect", Op::kBenchExpect, {Arg::kNumber, Arg::kText}},
      {"shot", Op::kShot, {Arg::kText}},
      {"sleep", Op::kSleep, {Arg::kNumber}},
  };
  return table;
}

struct ControlName {
  const char* name;
  int id;
};

// The main dialog's controls and the OK button of the confirmation and Warning dialogs.
constexpr ControlName kControls[] = {
    {"path", 1000},        {"select-label", 1001}, {"browse", 1002}, {"progress", 1003},
    {"status", 1004},      {"read-version", 1005}, {"update", 1006}, {"updating", 1007},
    {"no-device", 1008},   {"connected", 1009},    {"exit", 1010},   {"list", 1012},
    {"mode-switch", 1018}, {"ok", 1020},           {"reset", 1024},  {"version", 1025},
    {"publisher", 1027},   {"picture", 1029},
};

constexpr long kMaxNumber = 100000000;

bool ParseLong(const std::string& word, long* out) {
  std::size_t i = 0;
  bool negative = false;
  if (!word.empty() && word[0] == '-') {
    negative = true;
    i = 1;
  }
  if (i >= word.size() || word.size() - i > 9) {
    return false;
  }
  long value = 0;
  for (; i < word.size(); ++i) {
    if (word[i] < '0' || word[i] > '9') {
      return false;
    }
    value = value * 10 + (word[i] - '0');
  }
  if (value > kMaxNumber) {
    return false;
  }
  *out = negative ? -value : value;
  return true;
}

bool Widen(const std::string& word, std::wstring* out) {
  out->clear();
  for (char c : word) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) {
      return false;  // the scenarios' texts are ASCII, as the program's are
    }
    out->push_back(static_cast<wchar_t>(byte));
  }
  return true;
}

std::string LineError(int line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

bool ParseStep(int line, const std::string& source, const std::vector<std::string>& words,
               Step* step, std::string* error) {
  const OpRow* row = nullptr;
  for (const OpRow& candidate : OpTable()) {
    if (words[0] == candidate.name) {
      row = &candidate;
    }
  }
  if (row == nullptr) {
    *error = LineError(line, "unknown step \"" + words[0] + "\"");
    return false;
  }
  const std::size_t given = words.size() - 1;
  if (given < row->args.size() || (!row->moreTexts && given > row->args.size())) {
    *error = LineError(line, std::string(row->name) + " takes " + std::to_string(row->args.size()) +
                                 (row->moreTexts ? " or more" : "") + " argument(s), not " +
                                 std::to_string(given));
    return false;
  }
  step->line = line;
  step->op = row->op;
  step->source = source;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    const Arg kind = i - 1 < row->args.size() ? row->args[i - 1] : Arg::kText;
    std::wstring wide;
    if (!Widen(word, &wide)) {
      *error = LineError(line, "only ASCII text is supported: \"" + word + "\"");
      return false;
    }
    switch (kind) {
      case Arg::kControl:
        step->control = ControlId(word);
        if (step->control < 0) {
          *error = LineError(line, "unknown control \"" + word + "\"");
          return false;
        }
        break;
      case Arg::kNumber:
        if (!ParseLong(word, &step->number)) {
          *error = LineError(line, "\"" + word + "\" is not a number");
          return false;
        }
        break;
      case Arg::kState:
        if (word != "enabled" && word != "disabled") {
          *error = LineError(line, "state \"" + word + "\" is neither enabled nor disabled");
          return false;
        }
        break;
      case Arg::kText:
        break;
    }
    step->args.push_back(wide);
  }
  // Values that only make sense in a range.
  if ((step->op == Op::kTimeout && (step->number < 1 || step->number > 600)) ||
      ((step->op == Op::kSleep || step->op == Op::kNoBox) &&
       (step->number < 0 || step->number > 600000)) ||
      (step->op == Op::kBenchExpect && step->number < 0)) {
    *error = LineError(line, "number out of range: " + source);
    return false;
  }
  if (step->op == Op::kBox && ButtonId(step->args[2]) == 0) {
    *error = LineError(line, "unknown button \"" + words[3] + "\" (ok, yes, no)");
    return false;
  }
  return true;
}

}  // namespace

bool SplitWords(const std::string& line, std::vector<std::string>* words, std::string* error) {
  words->clear();
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == '#') {
      break;
    }
    std::string word;
    if (c != '"') {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
        word.push_back(line[i++]);
      }
      words->push_back(word);
      continue;
    }
    ++i;  // the opening quote
    bool closed = false;
    while (i < line.size()) {
      const char q = line[i++];
      if (q == '"') {
        closed = true;
        break;
      }
      if (q != '\\') {
        word.push_back(q);
        continue;
      }
      if (i >= line.size()) {
        break;
      }
      const char e = line[i++];
      switch (e) {
        case 'r':
          word.push_back('\r');
          break;
        case 'n':
          word.push_back('\n');
          break;
        case 't':
          word.push_back('\t');
          break;
        case '"':
        case '\\':
          word.push_back(e);
          break;
        default:
          *error = std::string("unknown escape \\") + e;
          return false;
      }
    }
    if (!closed) {
      *error = "unterminated quote";
      return false;
    }
    words->push_back(word);
  }
  return true;
}

int ControlId(const std::string& word) {
  for (const ControlName& control : kControls) {
    if (word == control.name) {
      return control.id;
    }
  }
  long id = 0;
  if (ParseLong(word, &id) && id >= 0 && id <= 0xFFFF) {
    return static_cast<int>(id);
  }
  return -1;
}

int ButtonId(const std::wstring& word) {
  if (word == L"ok") {
    return 1;  // IDOK
  }
  if (word == L"yes") {
    return 6;  // IDYES
  }
  if (word == L"no") {
    return 7;  // IDNO
  }
  return 0;
}

bool ParseScript(const std::string& source, std::vector<Step>* steps, std::string* error) {
  steps->clear();
  std::vector<Step> parsed;
  std::size_t start = 0;
  int line = 0;
  while (start < source.size()) {
    std::size_t end = source.find('\n', start);
    if (end == std::string::npos) {
      end = source.size();
    }
    const std::string text = source.substr(start, end - start);
    start = end + 1;
    ++line;
    std::vector<std::string> words;
    std::string why;
    if (!SplitWords(text, &words, &why)) {
      *error = LineError(line, why);
      return false;
    }
    if (words.empty()) {
      continue;
    }
    Step step;
    std::string shown = text;
    if (!shown.empty() && shown.back() == '\r') {
      shown.pop_back();
    }
    if (!ParseStep(line, shown, words, &step, error)) {
      return false;
    }
    parsed.push_back(step);
  }
  if (parsed.empty()) {
    *error = "the script has no steps";
    return false;
  }
  *steps = parsed;
  return true;
}

}  // namespace veltra::e2e
