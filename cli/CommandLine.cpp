#include "CommandLine.h"

#include <algorithm>
#include <array>
#include <set>
#include <string_view>

namespace {

bool Is(const NativeString& argument, std::string_view option) {
    return std::equal(argument.begin(), argument.end(), option.begin(), option.end(),
                      [](auto a, char b) { return a == static_cast<unsigned char>(b); });
}

std::string Narrow(const NativeString& argument) {
    std::string text;
    for (auto c : argument) text.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    return text;
}

// A number from low to high, written in at most three decimal digits.
bool ParseNumber(const NativeString& argument, int low, int high, int& number) {
    if (argument.empty() || argument.size() > 3) return false;
    int value = 0;
    for (auto c : argument) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<int>(c - '0');
    }
    if (value < low || value > high) return false;
    number = value;
    return true;
}

using Mode = CommandLine::Mode;

// What an option does to the line.
enum class Does { Set, AskMode, RoundTrip, Digits, Threads, Output };

struct Option {
    std::string_view name;
    Does does;
    int most = 0;                       // Digits, Threads: the largest number; the least is 1
    bool CommandLine::*flag = nullptr;  // Set: the flag it sets
    Mode mode = Mode::Csv;              // AskMode: the mode; CSV is what no option asks for
};

const Option kOptions[] = {
    {"-f", Does::Set, 0, &CommandLine::force},
    {"-q", Does::Set, 0, &CommandLine::quiet},
    {"--json", Does::Set, 0, &CommandLine::json},
    {"--stamps", Does::Set, 0, &CommandLine::stamps},
    {"-h", Does::Set, 0, &CommandLine::help},
    {"--help", Does::Set, 0, &CommandLine::help},
    {"--version", Does::Set, 0, &CommandLine::version},
    {"--summary", Does::AskMode, 0, nullptr, Mode::Summary},
    {"--stats", Does::AskMode, 0, nullptr, Mode::Stats},
    {"--plot", Does::AskMode, 0, nullptr, Mode::Plot},
    {"--round-trip", Does::RoundTrip},
    {"--digits", Does::Digits, 17},
    {"--threads", Does::Threads, 256},
    {"-o", Does::Output},
};

// Options that do not go together, checked in this order once the line is read: one of these
// with one of those, or, where these need those, one of these without any of those. A message
// names the first of each group that was given.
struct Conflict {
    std::array<std::string_view, 3> these;
    std::array<std::string_view, 3> those;
    bool needs = false;
    const char* why = "";
};

const Conflict kConflicts[] = {
    {{"--digits"}, {"--round-trip"}},
    // The number styles and the stamp column shape a CSV; the other modes write none.
    {{"--digits", "--round-trip", "--stamps"}, {"--summary", "--stats", "--plot"}},
    {{"--json"}, {"--stats"}, true},
    {{"-o"}, {"--summary", "--stats"}, false, " (they print to standard output)"},
};

// The options given, by their names in kOptions.
using Given = std::set<std::string_view>;

std::string_view FirstGiven(const std::array<std::string_view, 3>& group, const Given& given) {
    for (std::string_view name : group) {
        if (given.count(name)) return name;
    }
    return {};
}

// How the options given break conflict; "" when they do not.
std::string Broken(const Conflict& conflict, const Given& given) {
    const std::string these(FirstGiven(conflict.these, given));
    const std::string those(FirstGiven(conflict.those, given));
    if (these.empty()) return "";
    if (conflict.needs) {
        return those.empty() ? these + " goes with " + std::string(conflict.those[0]) + " only"
                             : "";
    }
    return those.empty() ? "" : these + " and " + those + " do not go together" + conflict.why;
}

const Option* Find(const NativeString& argument) {
    for (const Option& option : kOptions) {
        if (Is(argument, option.name)) return &option;
    }
    return nullptr;
}

std::string_view ModeOption(Mode mode) {
    for (const Option& option : kOptions) {
        if (option.does == Does::AskMode && option.mode == mode) return option.name;
    }
    return {};
}

// What an option that takes the argument after it takes, in the words of its messages; "" for
// an option that takes none.
std::string Operand(const Option& option) {
    if (option.does == Does::Output) return "a file name";
    return option.most ? "a number from 1 to " + std::to_string(option.most) : "";
}

// Does what option asks of the line, with the argument after it, if any (null past the end).
// "" when it can, else why not.
std::string Apply(const Option& option, const NativeString* operand, Given& given,
                  CommandLine& line) {
    const std::string name(option.name);
    const std::string takes = Operand(option);
    if (!takes.empty()) {
        // -o's empty name is no name at all; a number's is one that is not a number.
        if (!operand || (option.does == Does::Output && operand->empty())) {
            return "option " + name + " needs " + takes;
        }
        if (given.count(option.name)) return "option " + name + " given twice";
    }
    given.insert(option.name);
    int number = 0;
    if (option.most && !ParseNumber(*operand, 1, option.most, number)) {
        return "option " + name + " needs " + takes + ", not " + Narrow(*operand);
    }
    switch (option.does) {
        case Does::Set:
            line.*option.flag = true;
            break;
        case Does::AskMode:
            if (line.mode != Mode::Csv && line.mode != option.mode) {
                return std::string(ModeOption(line.mode)) + " and " + name + " do not go together";
            }
            line.mode = option.mode;
            break;
        case Does::RoundTrip:
            line.cellStyle = CellStyle::RoundTrip();
            break;
        case Does::Digits:
            line.cellStyle = CellStyle::WithDigits(number);
            break;
        case Does::Threads:
            line.threads = static_cast<unsigned>(number);
            break;
        case Does::Output:
            line.output.emplace(*operand);
            break;
    }
    return "";
}

// Why a whole line that help or the version does not answer cannot run; "" when it can.
std::string Unrunnable(const CommandLine& line, const Given& given) {
    if (line.recordings.empty()) return "no recording given";
    for (const Conflict& conflict : kConflicts) {
        if (std::string broken = Broken(conflict, given); !broken.empty()) return broken;
    }
    if (line.output && line.recordings.size() > 1) return "-o takes exactly one recording";
    return "";
}

}  // namespace

const char kUsageText[] =
    "Usage: oscimo2csv [options] RECORDING...\n"
    "Converts sensor recordings to CSV: each RECORDING to RECORDING.csv beside it.\n"
    "\n"
    "  -o OUT       write the CSV or the picture of the one RECORDING to OUT; '-o -' writes\n"
    "               to standard output\n"
    "  -f           replace an existing CSV or SVG file\n"
    "  --digits N   write numbers with N significant digits (1 to 17) instead of six\n"
    "  --round-trip write numbers with the fewest digits that read back exactly\n"
    "  --threads N  format on N threads (1 to 256) instead of one per core\n"
    "  --stamps     put each sample's time stamp as recorded first, in Stamp(ns) or Stamp(ms)\n"
    "  --summary    print each recording's four-line summary instead of converting\n"
    "  --stats      print each recording's health report instead of converting:\n"
    "               stamps, steps, gaps, stamps going backward, and each column's figures\n"
    "  --json       with --stats: one JSON object per recording and line\n"
    "  --plot       draw each RECORDING as an SVG picture to RECORDING.svg instead of\n"
    "               converting\n"
    "  -q           report only failures\n"
    "  -h, --help   show this help\n"
    "  --version    show the version\n"
    "\n"
    "Exit status: 0 when every recording succeeded, 1 when any failed, 2 for a usage error.\n";

bool ParseCommandLine(const std::vector<NativeString>& arguments, CommandLine& line,
                      std::string& error) {
    Given given;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const NativeString& argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || Is(argument, "-")) {
            line.recordings.emplace_back(argument);
            continue;
        }
        if (Is(argument, "--")) {
            optionsEnded = true;
            continue;
        }
        const Option* option = Find(argument);
        if (!option) {
            error = "unknown option " + Narrow(argument);
            return false;
        }
        const bool takesOne = !Operand(*option).empty();
        const NativeString* operand =
            !takesOne || i + 1 == arguments.size() ? nullptr : &arguments[++i];
        error = Apply(*option, operand, given, line);
        if (!error.empty()) return false;
    }
    if (line.help || line.version) return true;
    error = Unrunnable(line, given);
    return error.empty();
}
