// Test helper: a program that runs until the test lets it end.
//   vlt_sleeper MS [MARKER]              stays alive for MS milliseconds
//   vlt_sleeper until RELEASE [MARKER]   stays alive until the file RELEASE exists (at most a
//                                        minute, so that a failed test leaves nothing behind)
// and, when MARKER is given, creates that file just before it exits.
//   vlt_sleeper exit CODE                ends at once with the exit code CODE
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
  using namespace std::chrono;
  if (argc > 2 && std::string(argv[1]) == "exit") return std::atoi(argv[2]);
  const bool until = argc > 2 && std::string(argv[1]) == "until";
  if (until) {
    const auto give_up = steady_clock::now() + minutes(1);
    std::error_code ec;
    while (!std::filesystem::exists(argv[2], ec) && steady_clock::now() < give_up) {
      std::this_thread::sleep_for(milliseconds(2));
    }
  } else {
    std::this_thread::sleep_for(milliseconds(argc > 1 ? std::atoi(argv[1]) : 1000));
  }
  const int marker = until ? 3 : 2;
  if (argc > marker) std::ofstream(argv[marker]) << "done";
  return 0;
}
