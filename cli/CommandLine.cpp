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

}  // namespace

const char kUsageText[] =
    "Usage: oscimo2csv [options] RECORDING...\n"
    "Converts sensor recordings to CSV: each RECORDING to RECORDING.csv beside it.\n"
    "\n"
    "  -o OUT       write the CSV of the one RECORDING to OUT; '-o -' writes to standard output\n"
    "  -f           replace an existing CSV file\n"
    "  --summary    print each recording's four-line summary instead of converting\n"
    "  -q           report only failures\n"
    "  -h, --help   show this help\n"
    "  --version    show the version\n"
    "\n"
    "Exit status: 0 when every recording succeeded, 1 when any failed, 2 for a usage error.\n";

bool ParseCommandLine(const std::vector<NativeString>& arguments, CommandLine& line,
                      std::string& error) {
    bool optionsEnded = false;
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
        } else if (Is(argument, "--summary")) {
            line.summaryOnly = true;
        } else if (Is(argument, "-h") || Is(argument, "--help")) {
            line.help = true;
        } else if (Is(argument, "--version")) {
            line.version = true;
        } else if (Is(argument, "-o")) {
            if (i + 1 == arguments.size()) {
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
    } else if (line.output && line.summaryOnly) {
        error = "-o and --summary do not go together";
    } else if (line.output && line.recordings.size() > 1) {
        error = "-o takes exactly one recording";
    } else {
        return true;
    }
    return false;
}
