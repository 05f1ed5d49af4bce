#pragma once
// What a command-line tool needs of its console: its arguments as UTF-8 texts and whether
// standard error is a terminal (progress lines only make sense on one).
#include <string>
#include <vector>

namespace vlt::platform {

// The arguments after the program name. On Windows they are read from the UTF-16 command line,
// whatever the 8-bit code page; natively they are `argv` as given.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
bool StderrIsTerminal();

}  // namespace vlt::platform
