#pragma once

// A command that did not succeed, in words for the operator: what the drive, the adapter or
// the system said, as exactly as the outcome records it.

#include <string>

#include "transport/CommandResult.h"

namespace flashtool {

// "it timed out", "it ended with CHECK CONDITION, sense 05/24/00", "the system refused to
// pass it on: Permission denied (error 13)", ... Meant to follow a clause that names the
// command ("did not answer the identification: ...").
std::string DescribeFailure(const CommandResult& command);

}  // namespace flashtool
