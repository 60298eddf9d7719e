#pragma once

// The standard streams of the console programs, set up as the Linux program's are: lines end
// in LF alone (the C library's text mode would make each one CR LF, and a script comparing
// the programs' output or reading JSON would see the difference), and a console shows the
// program's UTF-8 as UTF-8.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

namespace flashtool::win32 {

inline void PrepareConsoleStreams() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
}

}  // namespace flashtool::win32
