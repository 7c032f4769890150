#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "CommandLine.h"

namespace {

// Arguments as the platform's main receives them, built from ASCII literals.
std::vector<NativeString> Arguments(const std::vector<const char*>& texts) {
    std::vector<NativeString> arguments;
    for (const char* text : texts) arguments.emplace_back(text, text + std::strlen(text));
    return arguments;
}

std::vector<std::filesystem::path> Paths(const std::vector<const char*>& texts) {
    return {texts.begin(), texts.end()};
}

}  // namespace

TEST(CommandLine, AcceptedLines) {
    const struct {
        std::vector<const char*> arguments;
        bool force, quiet, summaryOnly, help, version;
        const char* output;  // nullptr when -o is absent
        std::vector<const char*> recordings;
    } cases[] = {
        {{"a.bin"}, false, false, false, false, false, nullptr, {"a.bin"}},
        {{"-f", "-q", "a.bin", "b.bin"},
         true,
         true,
         false,
         false,
         false,
         nullptr,
         {"a.bin", "b.bin"}},
        {{"a.bin", "-f", "--summary", "b.bin", "-q"},
         true,
         true,
         true,
         false,
         false,
         nullptr,
         {"a.bin", "b.bin"}},
        {{"--", "-f", "a.bin"}, false, false, false, false, false, nullptr, {"-f", "a.bin"}},
        {{"-q", "--", "--", "-o"}, false, true, false, false, false, nullptr, {"--", "-o"}},
        {{"-o", "out.csv", "a.bin"}, false, false, false, false, false, "out.csv", {"a.bin"}},
        {{"a.bin", "-o", "-"}, false, false, false, false, false, "-", {"a.bin"}},
        {{"a.bin", "-o", "-f"}, false, false, false, false, false, "-f", {"a.bin"}},
        {{"-h"}, false, false, false, true, false, nullptr, {}},
        {{"--help", "a.bin"}, false, false, false, true, false, nullptr, {"a.bin"}},
        {{"--version"}, false, false, false, false, true, nullptr, {}},
    };
    for (const auto& c : cases) {
        const std::string name = ::testing::PrintToString(c.arguments);
        CommandLine line;
        std::string error;
        ASSERT_TRUE(ParseCommandLine(Arguments(c.arguments), line, error)) << name << ": " << error;
        EXPECT_EQ(line.force, c.force) << name;
        EXPECT_EQ(line.quiet, c.quiet) << name;
        EXPECT_EQ(line.summaryOnly, c.summaryOnly) << name;
        EXPECT_EQ(line.help, c.help) << name;
        EXPECT_EQ(line.version, c.version) << name;
        EXPECT_EQ(line.output.has_value(), c.output != nullptr) << name;
        if (line.output && c.output) {
            EXPECT_EQ(*line.output, std::filesystem::path(c.output)) << name;
        }
        EXPECT_EQ(line.recordings, Paths(c.recordings)) << name;
    }
}

TEST(CommandLine, CellStyles) {
    const struct {
        std::vector<const char*> arguments;
        CellStyle style;
    } cases[] = {
        {{"a.bin"}, CellStyle{}},
        {{"--digits", "1", "a.bin"}, CellStyle::WithDigits(1)},
        {{"a.bin", "--digits", "17"}, CellStyle::WithDigits(17)},
        {{"--digits", "6", "a.bin"}, CellStyle::WithDigits(6)},
        {{"--digits", "09", "-o", "-", "a.bin"}, CellStyle::WithDigits(9)},
        {{"--round-trip", "a.bin"}, CellStyle::RoundTrip()},
        {{"a.bin", "--round-trip", "-f", "--round-trip"}, CellStyle::RoundTrip()},
        {{"--", "--digits", "3"}, CellStyle{}},  // two recordings
    };
    for (const auto& c : cases) {
        const std::string name = ::testing::PrintToString(c.arguments);
        CommandLine line;
        std::string error;
        ASSERT_TRUE(ParseCommandLine(Arguments(c.arguments), line, error)) << name << ": " << error;
        EXPECT_TRUE(line.cellStyle == c.style) << name;
    }
}

TEST(CommandLine, UsageErrors) {
    const std::vector<const char*> cases[] = {
        {"-x", "a.bin"},
        {"a.bin", "--Summary"},
        {"-fq", "a.bin"},
        {"a.bin", "-o"},
        {"-o", "x.csv", "-o", "y.csv", "a.bin"},
        {"-o", "x.csv", "a.bin", "b.bin"},
        {"--summary", "-o", "x.csv", "a.bin"},
        {},
        {"-f", "-q"},
        {"--"},
        {"a.bin", "--digits"},
        {"--digits", "0", "a.bin"},
        {"--digits", "18", "a.bin"},
        {"--digits", "100", "a.bin"},
        {"--digits", "-3", "a.bin"},
        {"--digits", "+3", "a.bin"},
        {"--digits", "", "a.bin"},
        {"--digits", "3x", "a.bin"},
        {"--digits", " 3", "a.bin"},
        {"--digits", "a.bin"},
        {"--digits=3", "a.bin"},
        {"--digits", "3", "--digits", "4", "a.bin"},
        {"--digits", "3", "--round-trip", "a.bin"},
        {"--round-trip", "a.bin", "--digits", "17"},
        {"--summary", "--digits", "3", "a.bin"},
        {"--round-trip", "--summary", "a.bin"},
    };
    for (const auto& arguments : cases) {
        CommandLine line;
        std::string error;
        EXPECT_FALSE(ParseCommandLine(Arguments(arguments), line, error))
            << ::testing::PrintToString(arguments);
        EXPECT_FALSE(error.empty()) << ::testing::PrintToString(arguments);
    }
}
