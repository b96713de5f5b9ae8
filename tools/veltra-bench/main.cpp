// veltra-bench: runs one update of the program against the virtual camera bench, headless, by any
// of the program's routes, and says what the camera now holds. See docs/bench.md.
#include <iostream>
#include <string>
#include <vector>

#include "veltra-bench/bench_options.h"
#include "veltra-bench/bench_session.h"

int main(int argc, char** argv) {
  using namespace veltra::bench;
  const std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  std::string text;
  switch (ParseCommandLine(args, &options, &text)) {
    case Parsed::kHelp:
      std::cout << text;
      return kExitSuccess;
    case Parsed::kError:
      std::cerr << "veltra-bench: " << text << "\n(veltra-bench --help lists the routes and "
                << "their options)\n";
      return kExitBadInput;
    case Parsed::kRun:
      break;
  }
  Session session(options, std::cout, std::cerr);
  return session.Run();
}
