// veltra-bench: runs one update of the program against the virtual camera bench, headless, and
// says what the camera now holds. See docs/bench.md.
#include <iostream>
#include <string>
#include <vector>

#include "veltra-bench/bench_options.h"
#include "veltra-bench/bench_session.h"

int main(int argc, char** argv) {
  using namespace veltra::bench;
  const std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  std::string error;
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::cout << Usage();
    return args.empty() ? kExitBadInput : kExitSuccess;
  }
  if (!ParseOptions(args, &options, &error)) {
    std::cerr << "veltra-bench: " << error << '\n' << Usage();
    return kExitBadInput;
  }
  Session session(options, std::cout);
  return session.Run();
}
