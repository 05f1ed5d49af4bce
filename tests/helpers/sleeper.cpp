// Test helper: stays alive for the number of milliseconds given as its first argument and,
// when a second argument is given, creates that file before it exits.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

int main(int argc, char** argv) {
  const int ms = argc > 1 ? std::atoi(argv[1]) : 1000;
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  if (argc > 2) std::ofstream(argv[2]) << "done";
  return 0;
}
