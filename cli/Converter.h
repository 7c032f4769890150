#pragma once

#include <vector>

#include "CommandLine.h"

// The whole command: parses the arguments, converts or summarises each recording, reports on
// standard error. Returns the exit status: 0 all succeeded, 1 any failed, 2 usage error.
int RunConverter(const std::vector<NativeString>& arguments);
