#pragma once

// The Windows programs come in pairs: the window (<package>.exe) and the console program
// (<package>-cli.exe), the emulated ones alike. Each, asked for what only the other does,
// says which one to start instead.

#include <string>

namespace flashtool::win32 {

// The console program started with no action (which on Linux opens the window): one line
// on standard error naming the window's program; the exit status of a usage error.
int NoWindowHere(const std::string& program);

// The window program started with a command-line action: the console program's name, on the
// console or standard error it was started from, or in a message box when it has neither;
// the exit status of a usage error. The start-up notice is not shown.
int PointToConsoleProgram(const std::string& program);

}  // namespace flashtool::win32
