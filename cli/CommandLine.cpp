#include "CommandLine.h"

#include <algorithm>
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

// The option that asks for each mode; CSV is what no option asks for.
const char* ModeOption(Mode mode) {
    switch (mode) {
        case Mode::Summary:
            return "--summary";
        case Mode::Stats:
            return "--stats";
        case Mode::Plot:
            return "--plot";
        case Mode::Csv:
            break;
    }
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
    bool optionsEnded = false;
    bool digitsGiven = false;
    bool threadsGiven = false;
    bool roundTrip = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const NativeString& argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || Is(argument, "-")) {
            line.recordings.emplace_back(argument);
        } else if (Is(argument, "--")) {
            optionsEnded = true;
        } else if (Is(argument, "-f")) {
            line.force = true;
        } else if (Is(argument, "-q")) {
            line.quiet = true;
        } else if (Is(argument, "--summary") || Is(argument, "--stats") || Is(argument, "--plot")) {
            const Mode mode = Is(argument, "--summary") ? Mode::Summary
                              : Is(argument, "--stats") ? Mode::Stats
                                                        : Mode::Plot;
            if (line.mode != Mode::Csv && line.mode != mode) {
                error = std::string(ModeOption(line.mode)) + " and " + ModeOption(mode) +
                        " do not go together";
                return false;
            }
            line.mode = mode;
        } else if (Is(argument, "--json")) {
            line.json = true;
        } else if (Is(argument, "--stamps")) {
            line.stamps = true;
        } else if (Is(argument, "-h") || Is(argument, "--help")) {
            line.help = true;
        } else if (Is(argument, "--version")) {
            line.version = true;
        } else if (Is(argument, "--round-trip")) {
            roundTrip = true;
            line.cellStyle = CellStyle::RoundTrip();
        } else if (Is(argument, "--digits") || Is(argument, "--threads")) {
            const bool digits = Is(argument, "--digits");
            const std::string option = Narrow(argument);
            const std::string range = digits ? "1 to 17" : "1 to 256";
            bool& given = digits ? digitsGiven : threadsGiven;
            int number = 0;
            if (i + 1 == arguments.size()) {
                error = "option " + option + " needs a number from " + range;
                return false;
            }
            if (given) {
                error = "option " + option + " given twice";
                return false;
            }
            if (!ParseNumber(arguments[++i], 1, digits ? 17 : 256, number)) {
                error = "option " + option + " needs a number from " + range + ", not " +
                        Narrow(arguments[i]);
                return false;
            }
            given = true;
            if (digits) {
                line.cellStyle = CellStyle::WithDigits(number);
            } else {
                line.threads = static_cast<unsigned>(number);
            }
        } else if (Is(argument, "-o")) {
            if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
                error = "option -o needs a file name";
                return false;
            }
            if (line.output) {
                error = "option -o given twice";
                return false;
            }
            line.output.emplace(arguments[++i]);
        } else {
            error = "unknown option " + Narrow(argument);
            return false;
        }
    }
    if (line.help || line.version) return true;
    if (line.recordings.empty()) {
        error = "no recording given";
    } else if (digitsGiven && roundTrip) {
        error = "--digits and --round-trip do not go together";
    } else if ((digitsGiven || roundTrip || line.stamps) && line.mode != Mode::Csv) {
        // The number styles and the stamp column shape a CSV; the other modes write none.
        error = std::string(digitsGiven ? "--digits"
                            : roundTrip ? "--round-trip"
                                        : "--stamps") +
                " and " + ModeOption(line.mode) + " do not go together";
    } else if (line.json && line.mode != Mode::Stats) {
        error = "--json goes with --stats only";
    } else if (line.output && (line.mode == Mode::Summary || line.mode == Mode::Stats)) {
        error = std::string("-o and ") + ModeOption(line.mode) +
                " do not go together (they print to standard output)";
    } else if (line.output && line.recordings.size() > 1) {
        error = "-o takes exactly one recording";
    } else {
        return true;
    }
    return false;
}
