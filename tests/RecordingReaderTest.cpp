#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <tuple>

#include "RecordingGenerator.h"
#include "RecordingReader.h"
#include "RecordingWalk.h"
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
    read.result = ReadRecording((dir / "rec.bin").string().c_str(), read.times, read.rows,
                                read.header, &read.problem);
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
TEST(RecordingReader, HeaderRules) {
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
TEST(RecordingReader, DescribesEachProblem) {
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

// Every sensor type, long enough to cross the reader's block boundaries, decodes exactly as
// generated, into sequences reserved once from the file's size.
TEST(RecordingReader, DecodesEveryType) {
    for (const char* type : {"acceleration", "gravity", "gyroscope", "linear_acceleration",
                             "TLocation", "speed", "magnetic_field"}) {
        SCOPED_TRACE(type);
        const RecordingSpec spec{.version = type[0] == 'a' ? "1" : "2",
                                 .sensorType = type,
                                 .samples = 70'001,
                                 .tailBytes = 3};
        const Read read = ReadBytes(GenerateRecording(spec));
        const GeneratedLayout layout = LayoutOf(type);
        ASSERT_EQ(read.result, layout.columns);
        ASSERT_EQ(read.rows.size(), spec.samples);
        EXPECT_EQ(read.rows.capacity(), spec.samples);
        EXPECT_EQ(read.times.capacity(), spec.samples);
        const double ticks = layout.milliseconds ? 1e3 : 1e9;
        for (std::size_t i = 0; i < spec.samples; i += i < 40'000 ? 997 : 9'999) {
            const auto sinceFirst = GeneratedStamp(spec, i) - GeneratedStamp(spec, 0);
            EXPECT_EQ(read.times[i], static_cast<double>(sinceFirst) / ticks) << i;
            for (int c = 0; c < 3; ++c) {
                const double value = c < layout.columns ? GeneratedValue(spec, i, c) : 0.0;
                EXPECT_EQ(read.rows[i].values[c], value) << i << ',' << c;
            }
        }
    }
}

// Streamed, each block carries its own samples and none of the earlier blocks', as planned.
TEST(RecordingWalk, HandsOnEachBlockAlone) {
    TempDir dir;
    const RecordingSpec spec{.samples = 70'001};
    WriteFile(dir / "rec.bin", GenerateRecording(spec));
    for (const WalkPlan plan :
         {WalkPlan{.stamps = true}, WalkPlan{.times = false, .stamps = true}}) {
        std::string header;
        std::vector<std::uint64_t> stamps;
        std::vector<double> times;
        std::vector<SampleRow> rows;
        std::uint64_t seen = 0;
        const auto onBlock = [&](const WalkBlock& block) {
            const std::uint64_t last = block.decoded - 1, size = block.rows.size();
            EXPECT_EQ(std::tuple(block.decoded - seen, block.stamps.size(), block.times.size()),
                      std::tuple(size, size, plan.times ? size : 0));
            EXPECT_EQ(block.stamps.back(), GeneratedStamp(spec, last));
            EXPECT_EQ(block.rows.back().values[2], GeneratedValue(spec, last, 2));
            seen = block.decoded;
            return true;
        };
        const Walk walk =
            WalkRecording(dir / "rec.bin", plan, {header, stamps, times, rows}, nullptr, onBlock);
        EXPECT_EQ(std::tuple(walk, seen), std::tuple(Walk::Finished, spec.samples));
    }
}

// A walk from a sample on hands on the samples from there, and promises those; past the end,
// however far, no sample is complete.
TEST(RecordingWalk, StartsFromASample) {
    TempDir dir;
    const RecordingSpec spec{.samples = 40'000};
    WriteFile(dir / "rec.bin", GenerateRecording(spec));
    for (const std::uint64_t from :
         {std::uint64_t{1}, std::uint64_t{39'999}, spec.samples, std::uint64_t{UINT64_MAX}}) {
        std::string header;
        std::vector<std::uint64_t> stamps;
        std::vector<double> times;
        std::vector<SampleRow> rows;
        std::uint64_t first = 0, seen = 0, promised = 0;
        ReadProblem problem;
        const Walk walk = WalkRecording(
            dir / "rec.bin", {.times = false, .stamps = true, .expected = true, .from = from},
            {header, stamps, times, rows}, &problem, [&](const WalkBlock& block) {
                if (seen == 0)
                    std::tie(first, promised) = std::tuple(block.stamps[0], block.expected);
                seen = block.decoded;
                return true;
            });
        const std::uint64_t left = from < spec.samples ? spec.samples - from : 0;
        EXPECT_EQ(std::tuple(walk, problem.failure, seen, promised, first),
                  std::tuple(left ? Walk::Finished : Walk::Unreadable, left ? kNone : kNoSample,
                             left, left, left ? GeneratedStamp(spec, from) : 0))
            << from;
    }
}

TEST(RecordingReader, TimesAreSecondsSinceTheFirstStampEvenBackwards) {
    const Read read = ReadBytes(kSpeed + BigEndian64(5'000) + BigEndianFloat(1) +
                                BigEndian64(4'000) + BigEndianFloat(2) + BigEndian64(0) +
                                BigEndianFloat(3) + BigEndian64(6'020) + BigEndianFloat(4));
    EXPECT_EQ(read.times, (std::vector<double>{0.0, -1.0, -5.0, 1.02}));
}

TEST(RecordingReader, DecodesBigEndianValuesInPlace) {
    unsigned char single[] = {0x3F, 0xC0, 0x00, 0x00};
    unsigned char twice[] = {0xC0, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18};
    EXPECT_EQ(DecodeBigEndianValue(single, 4), 1.5);
    EXPECT_EQ(DecodeBigEndianValue(twice, 8), -3.141592653589793);
    EXPECT_EQ(DecodeBigEndianValue(single, 3), 0.0);
    // The bytes are left reversed, as decoding them in place leaves them.
    EXPECT_EQ(std::vector<unsigned char>(single, single + 4),
              (std::vector<unsigned char>{0x00, 0x00, 0xC0, 0x3F}));
    EXPECT_EQ(std::vector<unsigned char>(twice, twice + 8),
              (std::vector<unsigned char>{0x18, 0x2D, 0x44, 0x54, 0xFB, 0x21, 0x09, 0xC0}));
}

}  // namespace
