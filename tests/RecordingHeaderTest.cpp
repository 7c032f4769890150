#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <tuple>

#include "LoadedRecording.h"
#include "RecordingGenerator.h"
#include "SampleReader.h"
#include "TempDir.h"

namespace {

struct Read {
    std::int32_t result = -1;
    std::vector<double> times;
    std::vector<SampleRow> rows;
    std::string header = "untouched";
    ReadProblem problem{ReadFailure::WrongFamily, 9, 9};  // stale: a whole read clears it
};

// Reads bytes from a file, or nothing from a file that does not exist.
Read ReadBytes(const std::optional<std::string>& bytes) {
    TempDir dir;
    if (bytes) WriteFile(dir / "rec.bin", *bytes);
    Read read;
    read.result = ReadRecording(dir / "rec.bin", read.times, read.rows, read.header, &read.problem);
    return read;
}

const std::string kSpeed = "Tavomir Morvanex A 2 speed s\n";
const std::string kSample = BigEndian64(7) + BigEndianFloat(1.5f);  // one stamp, one value
const std::string kLong(1024, 'x'), kLongest(1023, 'L');
constexpr auto kMissing = ReadFailure::HeaderTokenMissing,
               kTooLong = ReadFailure::HeaderTokenTooLong,
               kNoSample = ReadFailure::NoCompleteSample, kNone = ReadFailure::None;

// Each header rule as the reader applies it: the result, the rows kept, the header text it sets
// ("untouched" when it rejects the header), why it failed and at which token.
TEST(RecordingHeader, Rules) {
    const struct {
        std::string bytes;
        std::int32_t result;
        std::size_t rows;
        std::string header;
        ReadFailure failure;
        int token = 0;
    } cases[] = {
        {"", 0, 0, "untouched", kMissing, 1},
        {"Tavomir Morvanex A 2", 0, 0, "untouched", kMissing, 5},
        {std::string(1, '\0') + kSpeed, 0, 0, "untouched", kMissing, 1},
        {" " + kSpeed + kSample, 0, 0, "untouched", kMissing, 1},
        {"Tavomir  Morvanex A 2 speed s\n", 0, 0, "untouched", kMissing, 2},
        {"Tavomir morvanex A 2 speed s\n" + kSample, 0, 0, "untouched", ReadFailure::WrongFamily},
        {"Tavomir Morvanex B 2 speed s\n" + kSample, 0, 0, "untouched", ReadFailure::WrongVariant},
        {"Tavomir Morvanex A 3 speed s\n" + kSample, 0, 0, "untouched", ReadFailure::WrongVersion},
        {"Tavomir Morvanex A 2\r speed s\n" + kSample, 0, 0, "untouched",
         ReadFailure::WrongVersion},
        {"tavomir Morvanex A 2 speed s\n" + kSample, 0, 0, "untouched",
         ReadFailure::WrongSignature},
        {"Tavomir Morvanex A 1 TLocation s\n" + kSample, 0, 0, "untouched",
         ReadFailure::Version1Location},
        {kLong + " Morvanex A 2 speed s\n", 0, 0, "untouched", kTooLong, 1},
        {"Tavomir Morvanex A 2 " + kLong + " s\n", 0, 0, "untouched", kTooLong, 5},
        {"Tavomir Morvanex A 2 speed " + kLong, 0, 0, "untouched", kTooLong, 6},
        {"Tavomir Morvanex A 2 speed \n" + kSample, 0, 0, "untouched", kMissing, 6},
        // Accepted headers: the text is set even when no complete sample follows.
        {kSpeed, 0, 0, "Tavomir Morvanex A 2 speed s", kNoSample},
        {kSpeed + std::string(11, 'a'), 0, 0, "Tavomir Morvanex A 2 speed s", kNoSample},
        {"Tavomir Morvanex A 2 speed at-eof", 0, 0, "Tavomir Morvanex A 2 speed at-eof", kNoSample},
        {kSpeed + kSample + kSample + "abcde", 1, 2, "Tavomir Morvanex A 2 speed s", kNone},
        {"Tavomir\nMorvanex" + std::string(1, '\0') + "A 2\nspeed " + kLongest + '\0' + kSample, 1,
         1, "Tavomir Morvanex A 2 speed " + kLongest, kNone},
        {"Tavomir Morvanex A 2 speed s1\r\n" + kSample, 1, 1, "Tavomir Morvanex A 2 speed s1\r",
         kNone},
        {"Tavomir Morvanex A 1 Acceleration x\n" + kSample, 1, 1,
         "Tavomir Morvanex A 1 Acceleration x", kNone},  // the type's case matters
    };
    const Read absent = ReadBytes(std::nullopt);
    EXPECT_EQ(std::tuple(absent.result, absent.problem.failure),
              std::tuple(0, ReadFailure::CannotOpen));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes.substr(0, 60)));
        const Read read = ReadBytes(c.bytes);
        EXPECT_EQ(std::tuple(read.result, read.rows.size(), read.times.size(), read.header,
                             read.problem.failure, read.problem.token),
                  std::tuple(c.result, c.rows, c.rows, c.header, c.failure, c.token));
    }
    // A read error part way through the body fails the read: what came before is no recording.
    FailBodyReadsForTesting(kSample.size() * 3 + 2, EIO);
    const Read cut = ReadBytes(kSpeed + kSample + kSample + kSample + kSample);
    FailBodyReadsForTesting(0, 0);
    EXPECT_EQ(std::tuple(cut.result, cut.problem.failure, cut.problem.systemError),
              std::tuple(0, ReadFailure::ReadError, EIO));
}

// What a person reads of each reason, once.
TEST(RecordingHeader, DescribesEachProblem) {
    const std::string no = "not a recording: the ";
    const std::pair<ReadProblem, std::string> cases[] = {
        {{kNone}, "no problem"},
        {{kMissing, 5}, no + "sensor type token of the header is missing or empty"},
        {{kTooLong, 6}, no + "label token of the header is longer than 1023 bytes"},
        {{ReadFailure::WrongFamily}, no + "family token is not \"Morvanex\""},
        {{ReadFailure::WrongVariant}, no + "variant token is not \"A\""},
        {{ReadFailure::WrongVersion}, no + "version token is neither \"1\" nor \"2\""},
        {{ReadFailure::Version1Location},
         "not a recording: version 1 \"TLocation\" recordings are not supported"},
        {{ReadFailure::WrongSignature}, no + "signature token is not \"Tavomir\""},
        {{kNoSample}, "no complete sample after the header"},
        {{ReadFailure::CannotOpen, 0, ENOENT},
         "cannot open: " + std::string(std::strerror(ENOENT))},
        {{ReadFailure::ReadError, 0, EIO},
         "cannot read to the end: " + std::string(std::strerror(EIO))},
        {{ReadFailure::HeaderReadError, 0, EIO}, "cannot read: " + std::string(std::strerror(EIO))},
    };
    for (const auto& [problem, text] : cases) EXPECT_EQ(DescribeReadProblem(problem), text);
}

}  // namespace
