#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <string>
#include <vector>

#include "RecordingGenerator.h"
#include "RecordingReader.h"
#include "TempDir.h"

namespace {

struct ReadResult {
    std::int32_t result = -1;
    std::vector<double> times;
    std::vector<SampleRow> rows;
    std::string headerText = "untouched";
    ReadProblem problem;
};

ReadResult ReadBytes(const std::string& bytes) {
    TempDir dir;
    WriteFile(dir / "rec.bin", bytes);
    ReadResult read;
    read.result = ReadRecording((dir / "rec.bin").string().c_str(), read.times, read.rows,
                                read.headerText, &read.problem);
    return read;
}

std::string SpeedSample(std::uint64_t stamp, float value) {
    return BigEndian64(stamp) + BigEndianFloat(value);
}

const std::string kAccelerationHeader = "Tavomir Morvanex A 2 acceleration dev1\n";

std::string AccelerationSample(std::uint64_t stamp) {
    return BigEndian64(stamp) + BigEndianFloat(1.0f) + BigEndianFloat(2.0f) + BigEndianFloat(3.0f);
}

TEST(RecordingReader, ReadsTheWorkedSpeedFile) {
    const std::string bytes = std::string("Tavomir Morvanex A 2 speed s1\n") +
                              std::string("\x00\x00\x00\x00\x00\x00\x03\xE8\x3F\xC0\x00\x00", 12) +
                              std::string("\x00\x00\x00\x00\x00\x00\x03\xFC\xBE\x80\x00\x00", 12);
    ASSERT_EQ(bytes.size(), 54u);
    const ReadResult read = ReadBytes(bytes);
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.times, (std::vector<double>{0.0, 0.02}));
    ASSERT_EQ(read.rows.size(), 2u);
    EXPECT_EQ(read.rows[0].values[0], 1.5);
    EXPECT_EQ(read.rows[1].values[0], -0.25);
    EXPECT_EQ(read.rows[1].values[1], 0.0);  // unused slots stay zero
    EXPECT_EQ(read.headerText, "Tavomir Morvanex A 2 speed s1");
}

TEST(RecordingReader, ReadsTheWorkedAccelerationFile) {
    const ReadResult read = ReadBytes(kAccelerationHeader + AccelerationSample(1'000'000'000) +
                                      AccelerationSample(1'500'000'000));
    EXPECT_EQ(read.result, 3);
    EXPECT_EQ(read.times, (std::vector<double>{0.0, 0.5}));
    ASSERT_EQ(read.rows.size(), 2u);
    EXPECT_EQ(read.rows[1].values[2], 3.0);
    EXPECT_EQ(read.headerText, "Tavomir Morvanex A 2 acceleration dev1");
    EXPECT_EQ(read.problem.failure, ReadFailure::None);
}

struct RejectedHeader {
    const char* name;
    std::string bytes;
    ReadFailure failure;
    int token;
};

class RejectsHeader : public testing::TestWithParam<RejectedHeader> {};

TEST_P(RejectsHeader, WithResultZeroAndHeaderTextUntouched) {
    const ReadResult read = ReadBytes(GetParam().bytes + AccelerationSample(1));
    EXPECT_EQ(read.result, 0);
    EXPECT_EQ(read.headerText, "untouched");
    EXPECT_TRUE(read.times.empty());
    EXPECT_TRUE(read.rows.empty());
    EXPECT_EQ(read.problem.failure, GetParam().failure);
    EXPECT_EQ(read.problem.token, GetParam().token);
}

const std::string k1024(1024, 'x');

INSTANTIATE_TEST_SUITE_P(
    RecordingReader, RejectsHeader,
    testing::Values(
        RejectedHeader{"FirstByteNul", std::string(1, '\0') + "Tavomir Morvanex A 2 speed s\n",
                       ReadFailure::HeaderTokenMissing, 1},
        RejectedHeader{"LeadingSeparator", " Tavomir Morvanex A 2 speed s\n",
                       ReadFailure::HeaderTokenMissing, 1},
        RejectedHeader{"DoubleSpace", "Tavomir  Morvanex A 2 speed s\n",
                       ReadFailure::HeaderTokenMissing, 2},
        RejectedHeader{"LowerCaseFamily", "Tavomir morvanex A 2 speed s\n",
                       ReadFailure::WrongFamily, 0},
        RejectedHeader{"VariantB", "Tavomir Morvanex B 2 speed s\n", ReadFailure::WrongVariant, 0},
        RejectedHeader{"Version3", "Tavomir Morvanex A 3 speed s\n", ReadFailure::WrongVersion, 0},
        RejectedHeader{"VersionWithCarriageReturn", "Tavomir Morvanex A 2\r speed s\n",
                       ReadFailure::WrongVersion, 0},
        RejectedHeader{"WrongSignature", "tavomir Morvanex A 2 speed s\n",
                       ReadFailure::WrongSignature, 0},
        RejectedHeader{"Version1Location", "Tavomir Morvanex A 1 TLocation s\n",
                       ReadFailure::Version1Location, 0},
        RejectedHeader{"TooLongSignature", k1024 + " Morvanex A 2 speed s\n",
                       ReadFailure::HeaderTokenTooLong, 1},
        RejectedHeader{"TooLongSensorType", "Tavomir Morvanex A 2 " + k1024 + " s\n",
                       ReadFailure::HeaderTokenTooLong, 5},
        RejectedHeader{"TooLongLabel", "Tavomir Morvanex A 2 speed " + k1024 + "\n",
                       ReadFailure::HeaderTokenTooLong, 6},
        RejectedHeader{"EmptyLabel", "Tavomir Morvanex A 2 speed \n",
                       ReadFailure::HeaderTokenMissing, 6}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(RecordingReader, RejectsEmptyFilesAndFilesOfFewerThanFiveTokens) {
    const ReadResult empty = ReadBytes("");
    EXPECT_EQ(empty.result, 0);
    EXPECT_EQ(empty.problem.token, 1);
    const ReadResult four = ReadBytes("Tavomir Morvanex A 2");
    EXPECT_EQ(four.result, 0);
    EXPECT_EQ(four.problem.failure, ReadFailure::HeaderTokenMissing);
    EXPECT_EQ(four.problem.token, 5);
    EXPECT_EQ(four.headerText, "untouched");
}

TEST(RecordingReader, AcceptsTokensOf1023BytesAndAnySeparator) {
    const std::string label(1023, 'L');
    const ReadResult read = ReadBytes(std::string("Tavomir\nMorvanex") + '\0' + "A 2\nspeed " +
                                      label + '\0' + SpeedSample(5, 1.0f));
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.headerText, "Tavomir Morvanex A 2 speed " + label);
}

TEST(RecordingReader, KeepsCarriageReturnInTheLabel) {
    const ReadResult read = ReadBytes("Tavomir Morvanex A 2 speed s1\r\n" + SpeedSample(5, 1.0f));
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.headerText, "Tavomir Morvanex A 2 speed s1\r");
}

TEST(RecordingReader, AcceptedHeaderWithoutACompleteSampleSetsTheHeaderText) {
    for (const std::string& body : {std::string(), std::string(7, '\x01'), std::string(19, 'a')}) {
        const ReadResult read = ReadBytes(kAccelerationHeader + body);
        EXPECT_EQ(read.result, 0);
        EXPECT_EQ(read.headerText, "Tavomir Morvanex A 2 acceleration dev1");
        EXPECT_TRUE(read.times.empty());
        EXPECT_TRUE(read.rows.empty());
        EXPECT_EQ(read.problem.failure, ReadFailure::NoCompleteSample);
    }
    const ReadResult endedByEof = ReadBytes("Tavomir Morvanex A 2 speed label-at-eof");
    EXPECT_EQ(endedByEof.result, 0);
    EXPECT_EQ(endedByEof.headerText, "Tavomir Morvanex A 2 speed label-at-eof");
}

TEST(RecordingReader, DropsAnIncompleteLastSample) {
    const ReadResult read =
        ReadBytes(kAccelerationHeader + AccelerationSample(7) + std::string(5, '\x7F'));
    EXPECT_EQ(read.result, 3);
    EXPECT_EQ(read.rows.size(), 1u);
    EXPECT_EQ(read.times.size(), 1u);
}

TEST(RecordingReader, VersionOneReadsLikeVersionTwo) {
    const ReadResult read = ReadBytes("Tavomir Morvanex A 1 acceleration x\n" +
                                      AccelerationSample(1) + AccelerationSample(2));
    EXPECT_EQ(read.result, 3);
    EXPECT_EQ(read.rows.size(), 2u);
}

TEST(RecordingReader, StampBeforeTheFirstGivesANegativeTime) {
    const ReadResult read = ReadBytes(kAccelerationHeader + AccelerationSample(5'000'000'000) +
                                      AccelerationSample(4'000'000'000) + AccelerationSample(0));
    EXPECT_EQ(read.times, (std::vector<double>{0.0, -1.0, -5.0}));
}

TEST(RecordingReader, MillisecondTypesDivideByAThousand) {
    const ReadResult read =
        ReadBytes("Tavomir Morvanex A 2 TLocation x\n" + BigEndian64(1000) +
                  BigEndianDouble(120.1550712) + BigEndianDouble(-1e300) + BigEndianDouble(0.5) +
                  BigEndian64(3500) + BigEndianDouble(1) + BigEndianDouble(2) + BigEndianDouble(3));
    EXPECT_EQ(read.result, 3);
    EXPECT_EQ(read.times, (std::vector<double>{0.0, 2.5}));
    EXPECT_EQ(read.rows[0].values[0], 120.1550712);
    EXPECT_EQ(read.rows[0].values[1], -1e300);
}

// Every sensor type, with bodies long enough to cross the reader's block boundaries.
class DecodesEveryType : public testing::TestWithParam<const char*> {};

TEST_P(DecodesEveryType, ExactlyAsGenerated) {
    RecordingSpec spec;
    spec.sensorType = GetParam();
    spec.samples = 70'001;
    spec.tailBytes = 3;
    const ReadResult read = ReadBytes(GenerateRecording(spec));
    const GeneratedLayout layout = LayoutOf(spec.sensorType);
    ASSERT_EQ(read.result, layout.columns);
    ASSERT_EQ(read.rows.size(), spec.samples);
    ASSERT_EQ(read.times.size(), spec.samples);
    const double ticks = layout.milliseconds ? 1e3 : 1e9;
    for (std::size_t i = 0; i < read.rows.size(); i += 997) {
        const auto ticksSinceFirst =
            static_cast<double>(GeneratedStamp(spec, i) - GeneratedStamp(spec, 0));
        EXPECT_EQ(read.times[i], ticksSinceFirst / ticks) << i;
        for (int c = 0; c < 3; ++c) {
            const double expected = c < layout.columns ? GeneratedValue(spec, i, c) : 0.0;
            EXPECT_EQ(read.rows[i].values[c], expected) << i << ',' << c;
        }
    }
    EXPECT_EQ(read.rows.back().values[0], GeneratedValue(spec, spec.samples - 1, 0));
}

INSTANTIATE_TEST_SUITE_P(RecordingReader, DecodesEveryType,
                         testing::Values("acceleration", "gravity", "gyroscope",
                                         "linear_acceleration", "TLocation", "speed",
                                         "magnetic_field"));

TEST(RecordingReader, LooksUpSensorFormatsExactly) {
    const SensorFormat location = LookUpSensorFormat("TLocation");
    EXPECT_EQ(location.valueWidth, 8);
    EXPECT_EQ(location.ticksPerSecond, 1000.0);
    EXPECT_EQ(LookUpSensorFormat("Acceleration").columnCount, 1);  // case matters
    EXPECT_EQ(LookUpSensorFormat("speed").ticksPerSecond, 1000.0);
    EXPECT_EQ(LookUpSensorFormat("magnetic_field").ticksPerSecond, 1e9);
}

TEST(RecordingReader, DecodesBigEndianValuesInPlace) {
    unsigned char single[] = {0x3F, 0xC0, 0x00, 0x00};
    EXPECT_EQ(DecodeBigEndianValue(single, 4), 1.5);
    EXPECT_EQ(single[0], 0x00);  // reversed
    EXPECT_EQ(single[3], 0x3F);
    unsigned char twice[] = {0xC0, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18};
    EXPECT_EQ(DecodeBigEndianValue(twice, 8), -3.141592653589793);
    unsigned char odd[] = {1, 2, 3};
    EXPECT_EQ(DecodeBigEndianValue(odd, 3), 0.0);
}

TEST(RecordingReader, ReportsAMissingFile) {
    TempDir dir;
    std::vector<double> times;
    std::vector<SampleRow> rows;
    std::string header = "untouched";
    ReadProblem problem;
    EXPECT_EQ(ReadRecording((dir / "absent.bin").string().c_str(), times, rows, header, &problem),
              0);
    EXPECT_EQ(problem.failure, ReadFailure::CannotOpen);
    EXPECT_EQ(problem.systemError, ENOENT);
    EXPECT_EQ(header, "untouched");
    EXPECT_NE(DescribeReadProblem(problem).find("cannot open"), std::string::npos);
}

}  // namespace
