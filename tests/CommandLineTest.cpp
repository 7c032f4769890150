#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include "CommandLine.h"

namespace {

// A parsed line in brief: flags (force, quiet, summary, help, version), the cell style, the
// output and the recordings; "usage" for a usage error.
std::string Brief(const std::vector<std::string>& words) {
    std::vector<NativeString> arguments;
    for (const std::string& word : words) arguments.emplace_back(word.begin(), word.end());
    CommandLine l;
    std::string error;
    if (!ParseCommandLine(arguments, l, error)) return error.empty() ? "no reason" : "usage";
    std::string brief = std::string(l.force ? "f" : "") + (l.quiet ? "q" : "") +
                        (l.mode == CommandLine::Mode::Summary ? "s" : "") + (l.help ? "h" : "") +
                        (l.version ? "v" : "");
    if (l.cellStyle == CellStyle::RoundTrip()) brief += " round-trip";
    if (l.cellStyle.kind == CellStyle::Kind::Digits)
        brief += " digits" + std::to_string(l.cellStyle.digits);
    if (l.threads) brief += " threads" + std::to_string(l.threads);
    if (l.output) brief += " -o " + l.output->string();
    for (const auto& recording : l.recordings) brief += " " + recording.string();
    return brief;
}

std::string Brief(const std::string& line) {
    std::istringstream words(line);
    return Brief(std::vector<std::string>(std::istream_iterator<std::string>(words), {}));
}

TEST(CommandLine, Lines) {
    const std::pair<const char*, const char*> cases[] = {
        {"a.bin", " a.bin"},
        {"a.bin -f --summary b.bin -q", "fqs a.bin b.bin"},
        {"-- -f a.bin", " -f a.bin"},
        {"-q -- -- -o", "q -- -o"},
        {"-o out.csv a.bin", " -o out.csv a.bin"},
        {"a.bin -o -f", " -o -f a.bin"},
        {"-h", "h"},
        {"--help a.bin", "h a.bin"},
        {"--version", "v"},
        {"--digits 1 a.bin", " digits1 a.bin"},
        {"a.bin --digits 17", " digits17 a.bin"},
        {"--digits 09 -o - a.bin", " digits9 -o - a.bin"},
        {"a.bin --round-trip -f --round-trip", "f round-trip a.bin"},
        {"-- --digits 3", " --digits 3"},
        {"--threads 1 a.bin --digits 3", " digits3 threads1 a.bin"},
        {"a.bin --threads 256", " threads256 a.bin"},
    };
    for (const auto& [line, brief] : cases) EXPECT_EQ(Brief(line), brief) << line;
    for (const char* line : {"",
                             "-f -q",
                             "--",
                             "-x a.bin",
                             "a.bin --Summary",
                             "-fq a.bin",
                             "a.bin -o",
                             "-o x.csv -o y.csv a.bin",
                             "-o x.csv a.bin b.bin",
                             "--summary -o x.csv a.bin",
                             "a.bin --digits",
                             "--digits a.bin",
                             "--digits=3 a.bin",
                             "--digits 3 --digits 4 a.bin",
                             "--digits 3 --round-trip a.bin",
                             "--round-trip a.bin --digits 17",
                             "--summary --digits 3 a.bin",
                             "--round-trip --summary a.bin",
                             "--threads 0 a.bin",
                             "--threads 257 a.bin",
                             "--threads 2 --threads 2 a.bin",
                             "a.bin --threads"}) {
        EXPECT_EQ(Brief(line), "usage") << line;
    }
    for (const char* digits : {"0", "18", "100", "-3", "+3", "", "3x", " 3"}) {
        EXPECT_EQ(Brief(std::vector<std::string>{"--digits", digits, "a.bin"}), "usage") << digits;
    }
}

}  // namespace
