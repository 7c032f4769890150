#pragma once

// How the system's failures reach us: their texts, and a write past the file size limit.
// Implemented by SystemError_posix.cpp and SystemError_win.cpp.

#include <string>

// The system's text for one of its error codes, as UTF-8: one clause, no line end or period.
std::string SystemErrorText(int code);

// Makes a write past the file size limit (ulimit -f) fail, to be reported, instead of killing
// the process; for the whole process, once any writer of files or standard output calls it.
void FailWritesPastFileSizeLimit();
