#include "RecordingHeader.h"

#include <cerrno>

namespace {

// Longest header token, in bytes; ReadHeaderToken's scratch holds it and a terminator.
constexpr std::size_t kMaxTokenBytes = 1023;

bool IsSeparator(int byte) {
    return byte == ' ' || byte == '\n' || byte == '\0';
}

bool Fail(ReadProblem* problem, ReadFailure failure, int token = 0) {
    if (problem) *problem = ReadProblem{failure, token, 0};
    return false;
}

// Reads one separator-terminated header token; false when it is empty or longer than
// kMaxTokenBytes.
bool ReadHeaderToken(std::FILE* file, char (&scratch)[kMaxTokenBytes + 1], std::string& token) {
    std::size_t stored = 0;
    // getc reports a read error as EOF, which ends the token like end of file does.
    for (int byte = std::getc(file); byte != EOF && !IsSeparator(byte); byte = std::getc(file)) {
        if (stored == kMaxTokenBytes) return false;
        scratch[stored++] = static_cast<char>(byte);
    }
    scratch[stored] = '\0';
    if (stored == 0) return false;
    token.assign(scratch, stored);
    return true;
}

// Reads header token number `position` (1-based), reporting why it failed: an empty token leaves
// scratch empty, one too long fills it.
bool ReadNumberedToken(std::FILE* file, char (&scratch)[kMaxTokenBytes + 1], std::string& token,
                       int position, ReadProblem* problem) {
    if (ReadHeaderToken(file, scratch, token)) return true;
    return Fail(
        problem,
        scratch[0] == '\0' ? ReadFailure::HeaderTokenMissing : ReadFailure::HeaderTokenTooLong,
        position);
}

}  // namespace

SensorFormat LookUpSensorFormat(std::string_view sensorTypeToken) {
    struct Entry {
        std::string_view token;
        SensorFormat format;
    };
    static constexpr Entry kTable[] = {
        {"acceleration", {4, 3, 1e9}}, {"gravity", {4, 3, 1e9}},
        {"gyroscope", {4, 3, 1e9}},    {"linear_acceleration", {4, 3, 1e9}},
        {"TLocation", {8, 3, 1e3}},    {"speed", {4, 1, 1e3}},
    };
    for (const Entry& entry : kTable) {
        if (entry.token == sensorTypeToken) return entry.format;
    }
    return {4, 1, 1e9};
}

bool ReadRecordingHeader(std::FILE* file, std::string& headerText, SensorFormat& format,
                         ReadProblem* problem) {
    char scratch[kMaxTokenBytes + 1];
    errno = 0;
    // A token cut short by a read error is no verdict on the file's contents.
    const auto readToken = [&](std::string& token, int position) {
        if (ReadNumberedToken(file, scratch, token, position, problem)) return true;
        if (std::ferror(file) && problem) {
            *problem = ReadProblem{ReadFailure::HeaderReadError, 0, errno != 0 ? errno : EIO};
        }
        return false;
    };
    std::string signature, family, variant, version, sensorType, label;
    std::string* const firstFive[] = {&signature, &family, &variant, &version, &sensorType};
    for (int i = 0; i < 5; ++i) {
        if (!readToken(*firstFive[i], i + 1)) return false;
    }
    if (family != "Morvanex") return Fail(problem, ReadFailure::WrongFamily);
    if (variant != "A") return Fail(problem, ReadFailure::WrongVariant);
    if (version != "1" && version != "2") return Fail(problem, ReadFailure::WrongVersion);
    // Version 1 location headers carry a signature marker no token can equal: always rejected.
    if (version == "1" && sensorType == "TLocation") {
        return Fail(problem, ReadFailure::Version1Location);
    }
    if (signature != "Tavomir") return Fail(problem, ReadFailure::WrongSignature);
    if (!readToken(label, 6)) return false;

    headerText =
        signature + ' ' + family + ' ' + variant + ' ' + version + ' ' + sensorType + ' ' + label;
    format = LookUpSensorFormat(sensorType);
    return true;
}
