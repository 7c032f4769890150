#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include "CommandLine.h"

namespace {

// A parsed line in brief: flags (force, quiet, summary, help, version), the cell style, the
// output and the recordings; for a usage error, "! " and its message.
std::string Brief(const std::vector<std::string>& words) {
    std::vector<NativeString> arguments;
    for (const std::string& word : words) arguments.emplace_back(word.begin(), word.end());
    CommandLine l;
    std::string error;
    if (!ParseCommandLine(arguments, l, error)) return "! " + (error.empty() ? "no reason" : error);
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
    // Usage errors, each the first the line breaks.
    const std::pair<const char*, const char*> usage[] = {
        {"", "no recording given"},
        {"-f -q", "no recording given"},
        {"--", "no recording given"},
        {"-x a.bin", "unknown option -x"},
        {"a.bin --Summary", "unknown option --Summary"},
        {"-fq a.bin", "unknown option -fq"},
        {"a.bin -o", "option -o needs a file name"},
        {"-o x.csv -o y.csv a.bin", "option -o given twice"},
        {"-o x.csv a.bin b.bin", "-o takes exactly one recording"},
        {"--summary -o x.csv a.bin",
         "-o and --summary do not go together (they print to standard output)"},
        {"--stats --summary --plot a.bin", "--stats and --summary do not go together"},
        {"a.bin --digits", "option --digits needs a number from 1 to 17"},
        {"--digits a.bin", "option --digits needs a number from 1 to 17, not a.bin"},
        {"--digits=3 a.bin", "unknown option --digits=3"},
        {"--digits 3 --digits 4 a.bin", "option --digits given twice"},
        {"--digits 3 --round-trip --stamps --plot a.bin",
         "--digits and --round-trip do not go together"},
        {"--round-trip a.bin --digits 17", "--digits and --round-trip do not go together"},
        {"--stamps --summary --digits 3 --json a.bin", "--digits and --summary do not go together"},
        {"--round-trip --stamps --summary a.bin", "--round-trip and --summary do not go together"},
        {"--json --summary -o x a.bin", "--json goes with --stats only"},
        {"--threads 0 a.bin", "option --threads needs a number from 1 to 256, not 0"},
        {"--threads 257 a.bin", "option --threads needs a number from 1 to 256, not 257"},
        {"--threads 2 --threads 2 a.bin", "option --threads given twice"},
        {"a.bin --threads", "option --threads needs a number from 1 to 256"},
    };
    for (const auto& [line, message] : usage)
        EXPECT_EQ(Brief(line), "! " + std::string(message)) << line;
    for (const char* digits : {"0", "18", "100", "-3", "+3", "", "3x", " 3"}) {
        EXPECT_EQ(Brief(std::vector<std::string>{"--digits", digits, "a.bin"}),
                  "! option --digits needs a number from 1 to 17, not " + std::string(digits));
    }
}

}  // namespace
