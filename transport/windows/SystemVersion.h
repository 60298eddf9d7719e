#pragma once

// The running system's version, as GetVersionExA reports it. Windows builds only: both the
// pass-through back-end and the restart choose their way by it.

#include "transport/windows/Win32Types.h"

namespace flashtool {

bool ReadSystemVersion(Win32Version& version);

}  // namespace flashtool
