#pragma once

#include <string>

// Why a recording could not be read. The reader's result stays 0 for every one of them;
// this only lets a caller that wants to explain (the command-line converter) do so.
enum class ReadFailure {
    None,
    CannotOpen,          // systemError holds errno
    HeaderTokenMissing,  // token: 1-based position of the empty or absent token
    HeaderTokenTooLong,  // token: 1-based position
    WrongFamily,
    WrongVariant,
    WrongVersion,
    Version1Location,  // version "1" with "TLocation": never accepted
    WrongSignature,
    NoCompleteSample,
    ReadError,  // systemError holds errno; only callers that tell it from end of file report it
    HeaderReadError,  // systemError holds errno: the header could not be read, not rejected
};

struct ReadProblem {
    ReadFailure failure = ReadFailure::None;
    int token = 0;
    int systemError = 0;
};

// An English sentence for a person, e.g. "not a recording: the family token is not ...".
std::string DescribeReadProblem(const ReadProblem& problem);
