#include "ReadProblem.h"

#include <cstring>

namespace {

const char* TokenName(int position) {
    static const char* const kNames[] = {"signature", "family",      "variant",
                                         "version",   "sensor type", "label"};
    return position >= 1 && position <= 6 ? kNames[position - 1] : "header";
}

}  // namespace

std::string DescribeReadProblem(const ReadProblem& problem) {
    const std::string notRecording = "not a recording: ";
    switch (problem.failure) {
        case ReadFailure::None:
            return "no problem";
        case ReadFailure::CannotOpen:
            return std::string("cannot open: ") + std::strerror(problem.systemError);
        case ReadFailure::HeaderTokenMissing:
            return notRecording + "the " + TokenName(problem.token) +
                   " token of the header is missing or empty";
        case ReadFailure::HeaderTokenTooLong:
            return notRecording + "the " + TokenName(problem.token) +
                   " token of the header is longer than 1023 bytes";
        case ReadFailure::WrongFamily:
            return notRecording + "the family token is not \"Morvanex\"";
        case ReadFailure::WrongVariant:
            return notRecording + "the variant token is not \"A\"";
        case ReadFailure::WrongVersion:
            return notRecording + "the version token is neither \"1\" nor \"2\"";
        case ReadFailure::Version1Location:
            return notRecording + "version 1 \"TLocation\" recordings are not supported";
        case ReadFailure::WrongSignature:
            return notRecording + "the signature token is not \"Tavomir\"";
        case ReadFailure::NoCompleteSample:
            return "no complete sample after the header";
        case ReadFailure::ReadError:
            return std::string("cannot read to the end: ") + std::strerror(problem.systemError);
        case ReadFailure::HeaderReadError:
            return std::string("cannot read: ") + std::strerror(problem.systemError);
    }
    return "unknown problem";
}
