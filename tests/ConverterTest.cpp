#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <sstream>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "ConsoleAndFiles.h"
#include "Converter.h"
#include "FailingAllocator.h"
#include "FileIdentity.h"
#include "MemoryFile.h"
#include "PlotSvg.h"
#include "Process.h"
#include "Progress.h"
#include "RecordingGenerator.h"
#include "RecordingHeader.h"
#include "TempDir.h"
#include "Version.h"

namespace fs = std::filesystem;

namespace {

// FNV-1a, continued from hash: a text's fingerprint across builds.
std::uint64_t Digest(const std::string& bytes, std::uint64_t hash = 0xcbf29ce484222325) {
    for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3;
    return hash;
}

// A folder of recordings, made the working folder so that names stay short.
class ConverterTest : public testing::Test {
protected:
    void SetUp() override {
        fs::current_path(dir.path());
        WriteFile("a.bin", GenerateRecording({.samples = 70'000, .tailBytes = 9}));
        WriteFile("s.bin", GenerateRecording({.sensorType = "speed", .samples = 5}));
        WriteFile("bad.bin", GenerateRecording({.family = "morvanex"}));
        WriteFile("short.bin", GenerateRecording({.samples = 0, .tailBytes = 7}));
        // The longest cells, signed zeros, non-finite values, ties, values needing 17 digits.
        const double edges[][4] = {{1'000, -2.2250738585072009e-308, -DBL_MAX, -0.0},
                                   {1'001, 5e-324, DBL_MIN, DBL_MAX},
                                   {2'675, 0.1 + 0.2, 1.0 / 3.0, -2.0 / 3.0},
                                   {9'999'999, 9007199254740993.0, 1e23, 1e-7},
                                   {999, HUGE_VAL, -HUGE_VAL, NAN}};
        std::string bytes = "Tavomir Morvanex A 2 TLocation hand\n";
        for (const auto& e : edges) {
            bytes += BigEndian64(static_cast<std::uint64_t>(e[0])) + BigEndianDouble(e[1]) +
                     BigEndianDouble(e[2]) + BigEndianDouble(e[3]);
        }
        WriteFile("edges.bin", bytes);
        // Steps of 10 ms with a repeat, one of exactly 1.5 times the median (no gap), two gaps and
        // a step back to before the first stamp; a NaN and an infinity.
        const double g[][4] = {{0, 1, 10, .5},        {10, 2, 20, .5}, {20, 3, NAN, .5},
                               {20, 4, 40, INFINITY}, {35, 5, 50, .5}, {95, 6, 60, .5},
                               {-5, -7, 70, .5},      {5, 8, 80, .5},  {15, 9, 90, .5},
                               {45, 10, 100, .5}};
        bytes = "Tavomir Morvanex A 2 acceleration g\n";
        for (const auto& e : g) {
            bytes += BigEndian64(static_cast<std::uint64_t>(1'000'000'000 + e[0] * 1'000'000));
            for (int c = 1; c < 4; ++c) bytes += BigEndianFloat(static_cast<float>(e[c]));
        }
        WriteFile("g.bin", bytes);
        // Steps of 1 to 4097 ms: one distinct step more than are counted exactly; 1024 are gaps.
        bytes = "Tavomir Morvanex A 2 speed steps\n";
        for (std::uint64_t step = 0, stamp = 0; step <= 4'097; stamp += ++step)
            bytes += BigEndian64(stamp) + BigEndianFloat(1);
        WriteFile("many.bin", bytes);
        // A damaged stamp of all ones among epoch milliseconds; values a few ulps apart.
        bytes = "Tavomir Morvanex A 2 TLocation w\n";
        for (const std::uint64_t stamp : {1'700'000'000'000ull, 1'700'000'000'010ull, ~0ull}) {
            const std::string value = BigEndianDouble(stamp % 2 ? -35 : -35.000000000000007);
            bytes += BigEndian64(stamp) + value + value + value;
        }
        WriteFile("w.bin", bytes);
        // Lines long enough to straddle the writer's buffer.
        WriteFile("l.bin", GenerateRecording({.sensorType = "TLocation", .samples = 3'000}));
        WriteFile("old.csv", "precious");
        WriteFile("old.csv.backup", "kept when a rewrite in place was cut short");
        fs::create_directory("dir");
        fs::copy_file("s.bin", "r.bin");
        fs::copy_file("a.bin", "r.bin.csv");
    }
    void TearDown() override { fs::current_path(home); }

    const fs::path home = fs::current_path();
    TempDir dir;
};

// Each command line: its exit status, a part of its message ("": none), the file it makes or
// replaces (a CSV one with the dialog's CSV of a.bin), and its standard output ("CSV": that CSV).
// Every other file stays as it was, byte for byte.
TEST_F(ConverterTest, CommandLines) {
    struct Case {
        std::string line;
        int exit;
        std::string err, made, out;
    };
    std::vector<Case> cases = {
        {"a.bin", 0, "oscimo2csv: a.bin -> a.bin.csv: 70000 samples\n", "a.bin.csv", ""},
        {"-q a.bin -o x.csv", 0, "", "x.csv", ""},
        {"-o - a.bin", 0, "", "", "CSV"},
        {"--digits 6 -o - a.bin", 0, "", "", "CSV"},
        {"--digits 17 -o - edges.bin", 0, "", "",
         DialogCsvOf("edges.bin", CellStyle::WithDigits(17))},
        {"--round-trip -o - edges.bin", 0, "", "",
         DialogCsvOf("edges.bin", CellStyle::RoundTrip())},
        {"--round-trip -o - s.bin", 0, "", "", DialogCsvOf("s.bin", CellStyle::RoundTrip())},
        {"--digits 17 -o - l.bin", 0, "", "", DialogCsvOf("l.bin", CellStyle::WithDigits(17))},
        {"--digits 3 -o - edges.bin", 0, "", "",
         "Time(s),X,Y,Z\r\n0,-2.23e-308,-1.8e+308,-0\r\n0.001,4.94e-324,2.23e-308,1.8e+308\r\n"
         "1.68,0.3,0.333,-0.667\r\n1e+004,9.01e+015,1e+023,1e-007\r\n-0.001,inf,-inf,nan\r\n"},
        {"--summary s.bin a.bin", 0, "", "",
         "Tavomir Morvanex A 2 speed gen\r\n数量：5\r\n时间：是\r\n数据列：1\r\n"
         "Tavomir Morvanex A 2 acceleration gen\r\n数量：70000\r\n时间：是\r\n数据列：3\r\n"},
        {"-o old.csv a.bin", 1, "a.bin: old.csv exists (-f replaces it)", "", ""},
        {"-f -o old.csv a.bin", 0, "old.csv.backup holds earlier contents of old.csv", "old.csv",
         ""},
        {"absent.bin a.bin", 1, "absent.bin: cannot open: ", "a.bin.csv", ""},
        {"bad.bin", 1, "bad.bin: not a recording: the family token", "", ""},
        {"--summary short.bin", 1, "short.bin: no complete sample", "", ""},
        {"dir", 1, "oscimo2csv: dir: not a regular file\n", "", ""},
        {"-f -o dir a.bin", 1, "dir is not a regular file", "", ""},
        {"-f -o a.bin a.bin", 1, "would replace the recording itself", "", ""},
        {"-o no/x.csv a.bin", 1, "a.bin: cannot create no", "", ""},
        {"-o no/x.csv absent.bin", 1, "absent.bin: cannot open: ", "", ""},
        {"-o '' a.bin", 2, "option -o needs a file name", "", ""},
        {"-f r.bin r.bin.csv", 1, "r.bin: the CSV file would replace the recording r.bin.csv\n",
         "r.bin.csv.csv", ""},
        {"-o - -o x a.bin", 2, "Try 'oscimo2csv --help'", "", ""},
        {"--version", 0, "", "", "oscimo2csv " OSCIMO_VERSION_STRING "\n"},
        {"-h a.bin", 0, "", "", kUsageText},
        // Stamps as recorded, in the unit of the sensor type, with every number style.
        {"--stamps --digits 3 -o - g.bin", 0, "", "",
         "Stamp(ns),Time(s),X,Y,Z\r\n1000000000,0,1,10,0.5\r\n1010000000,0.01,2,20,0.5\r\n"
         "1020000000,0.02,3,nan,0.5\r\n1020000000,0.02,4,40,inf\r\n1035000000,0.035,5,50,0.5\r\n"
         "1095000000,0.095,6,60,0.5\r\n995000000,-0.005,-7,70,0.5\r\n1005000000,0.005,8,80,0.5\r\n"
         "1015000000,0.015,9,90,0.5\r\n1045000000,0.045,10,100,0.5\r\n"},
        {"--stamps --round-trip -o - edges.bin", 0, "", "",
         "Stamp(ms),Time(s),X,Y,Z\r\n1000,0,-2.225073858507201e-308,-1.7976931348623157e+308,-0\r\n"
         "1001,0.001,5e-324,2.2250738585072014e-308,1.7976931348623157e+308\r\n"
         "2675,1.675,0.30000000000000004,0.3333333333333333,-0.6666666666666666\r\n"
         "9999999,9998.999,9007199254740992,1e+023,1e-007\r\n999,-0.001,inf,-inf,nan\r\n"},
        // Times are exact differences of the stamps, unwrapped.
        {"--stamps -o - w.bin", 0, "", "",
         "Stamp(ms),Time(s),X,Y,Z\r\n1700000000000,0,-35,-35,-35\r\n1700000000010,0.01,-35,-35,"
         "-35\r\n18446744073709551615,1.84467e+016,-35,-35,-35\r\n"},
        // The health report; a step of exactly 1.5 times the median is no gap.
        {"--stats g.bin", 0, "", "",
         "g.bin\n  header    Tavomir Morvanex A 2 acceleration g\n  samples   10\n"
         "  duration  0.1 s\n  stamps    first 1000000000 ns, last 1045000000 ns\n"
         "  steps     min 10000000 ns (0.01 s), median 10000000 ns (0.01 s), max 60000000 ns "
         "(0.06 s)\n  rate      nominal 100 Hz, mean 90 Hz\n"
         "  gaps      2 longer than 1.5 × median, the longest 0.06 s ending at sample 5 (0.095 s)\n"
         "  backward  1, the first at sample 6 (-0.005 s)\n"
         "  repeated  1, the first at sample 3 (0.02 s)\n"
         "  X         min -7, max 10, mean 4.1, std 4.65725, NaN 0, infinite 0\n"
         "  Y         min 10, max 100, mean 57.7778, std 28.9742, NaN 1, infinite 0\n"
         "  Z         min 0.5, max 0.5, mean 0.5, std 0, NaN 0, infinite 1\n"},
        {"--stats --json g.bin", 0, "", "",
         R"({"recording":"g.bin","header":"Tavomir Morvanex A 2 acceleration g","unit":"ns",)"
         R"("samples":10,"first_stamp":1000000000,"last_stamp":1045000000,"duration_s":0.1,)"
         R"("step":{"min":10000000,"median":10000000,"max":60000000,"exact":true},)"
         R"("rate_hz":{"nominal":100,"mean":90,"exact":true},)"
         R"("gaps":{"count":2,"longest_s":0.06,"longest_at":5,"exact":true},)"
         R"("backward":{"count":1,"first_at":6},"repeated":{"count":1,"first_at":3},)"
         R"("columns":[{"name":"X",)"
         R"("min":-7,"max":10,"mean":4.1,"std":4.657252408878008,"nan":0,"inf":0},)"
         R"({"name":"Y","min":10,"max":100,"mean":57.77777777777778,"std":28.97423291201177,)"
         R"("nan":1,"inf":0},{"name":"Z","min":0.5,"max":0.5,"mean":0.5,"std":0,"nan":0,)"
         R"("inf":1}]})"
         "\n"},
        // Past 4096 distinct steps, the figures that rest on the median say they are approximate
        // (in JSON through the flags the row above shows true).
        {"--stats many.bin", 0, "", "",
         "many.bin\n  header    Tavomir Morvanex A 2 speed steps\n  samples   4098\n  duration  "
         "8394.75 s\n  stamps    first 0 ms, last 8394753 ms\n  steps     min 1 ms (0.001 s), "
         "median about 2056 ms (2.056 s), max 4097 ms (4.097 s)\n            (about: approximate, "
         "with more than 4096 distinct steps)\n  rate      nominal about 0.486381 Hz, mean "
         "0.488043 Hz\n  gaps      about 1010 longer than 1.5 × median, the longest 4.097 s ending "
         "at sample 4097 (8394.75 s)\n  backward  none\n  repeated  none\n  X         min 1, max "
         "1, mean 1, std 0, NaN 0, infinite 0\n"},
        {"--stats short.bin", 1, "short.bin: no complete sample", "", ""},
        // The picture: beside the recording or at -o, under the same rules as the CSV.
        {"--plot g.bin", 0, "oscimo2csv: g.bin -> g.bin.svg: 10 samples\n", "g.bin.svg", ""},
        {"--plot -o old.csv g.bin", 1, "g.bin: old.csv exists (-f replaces it)", "", ""},
        {"--plot -f -o g.bin g.bin", 1, "the SVG file would replace the recording itself", "", ""},
        {"--plot bad.bin", 1, "bad.bin: not a recording: the family token", "", ""},
        // Recordings converted side by side report in the order given; one named twice waits.
        {"--threads 3 --plot short.bin bad.bin g.bin g.bin", 1,
         "oscimo2csv: short.bin: no complete sample after the header\n"
         "oscimo2csv: bad.bin: not a recording: the family token is not \"Morvanex\"\n"
         "oscimo2csv: g.bin -> g.bin.svg: 10 samples\n"
         "oscimo2csv: g.bin: g.bin.svg exists (-f replaces it)\n",
         "g.bin.svg", ""},
        // Modes that do not go together.
        {"--stats --plot a.bin", 2, "--stats and --plot do not go together", "", ""},
        {"--json a.bin", 2, "--json goes with --stats only", "", ""},
        {"--json --plot a.bin", 2, "--json goes with --stats only", "", ""},
        {"--stamps --summary a.bin", 2, "--stamps and --summary do not go together", "", ""},
        {"--round-trip --plot a.bin", 2, "--round-trip and --plot do not go together", "", ""},
        {"--stats -o x.txt a.bin", 2, "-o and --stats do not go together", "", ""},
    };
    // A target that cannot be replaced: held open without sharing, as an editor or a logger
    // does, or immutable (as root).
    WriteFile("locked.csv", "precious");
#ifdef _WIN32
    fs::copy_file("a.bin", "held.bin");
    const auto hold = [](const wchar_t* name) {
        return std::shared_ptr<void>(
            CreateFileW(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), CloseHandle);
    };
    auto locked = hold(L"locked.csv"), held = hold(L"held.bin");
    cases.push_back({"-f -o locked.csv a.bin", 1, "cannot write locked.csv: ", "", ""});
    cases.push_back({"held.bin", 1, "held.bin: cannot open: ", "", ""});
    cases.push_back({"-o a<b>.csv a.bin", 1, "a.bin: cannot create a<b>.csv", "", ""});
    // Device names open the device in any folder.
    cases.push_back({"NUL", 1, "oscimo2csv: NUL: not a regular file\n", "", ""});
    cases.push_back({"--summary dir\\com1.bin", 1, "com1.bin: not a regular file", "", ""});
    cases.push_back({"-f -o Nul.csv a.bin", 1, "a.bin: Nul.csv is a device", "", ""});
    // Windows shells pass a pattern on as it is: the program expands it, in name order.
    cases.push_back({"--summary *s.bin", 0, "", "",
                     "Tavomir Morvanex A 2 TLocation hand\r\n数量：5\r\n时间：是\r\n数据列：3\r\n"
                     "Tavomir Morvanex A 2 speed gen\r\n数量：5\r\n时间：是\r\n数据列：1\r\n"});
#else
    if (RunProgram("/usr/bin/chattr", {"+i", "locked.csv"}).exitCode == 0) {
        cases.push_back({"-f -o locked.csv a.bin", 1,
                         "cannot write locked.csv: Operation not permitted", "", ""});
    }
    const std::shared_ptr<void> unlock(nullptr, [](void*) {
        RunProgram("/usr/bin/chattr", {"-i", "locked.csv"});
    });
    ASSERT_EQ(::mkfifo("fifo", 0600), 0);
    cases.push_back({"fifo", 1, "oscimo2csv: fifo: not a regular file\n", "", ""});
    cases.push_back({"--summary /dev/zero", 1, "/dev/zero: not a regular file", "", ""});
#endif
    const std::vector<std::string> before = FolderContents(".");
    const std::string csv = DialogCsvOf("a.bin");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::istringstream words(c.line);
        std::vector<fs::path> arguments;
        for (std::string word; words >> word;) arguments.push_back(word == "''" ? "" : word);
        const ProgramRun run = RunProgram(ProgramBesideThisOne("oscimo2csv"), arguments);
        EXPECT_EQ(run.exitCode, c.exit);
        EXPECT_TRUE(run.out == (c.out == "CSV" ? csv : c.out)) << run.out.substr(0, 300);
        EXPECT_TRUE(c.err.empty() ? run.err.empty() : run.err.find(c.err) != std::string::npos)
            << run.err;
        std::set<std::string> files(before.begin(), before.end());
        if (!c.made.empty()) files.insert(c.made);
        EXPECT_EQ(FolderContents("."), std::vector<std::string>(files.begin(), files.end()));
        EXPECT_TRUE(ReadFile("old.csv") == (c.made == "old.csv" ? csv : "precious"));
        EXPECT_TRUE(!c.made.ends_with(".csv") || ReadFile(c.made) == csv) << c.made << " differs";
        if (c.made.find("old.csv") == std::string::npos) fs::remove(c.made);
        WriteFile("old.csv", "precious");
    }
#ifdef _WIN32
    locked.reset();
#endif
    EXPECT_EQ(ReadFile("locked.csv"), "precious");
}

// What a hostile surrounding does to a run, through the shell: $C is the converter. Each line
// prints what shows that nothing was lost or misplaced; every message names the right cause, and
// no temporary file is left behind.
TEST_F(ConverterTest, HostileSurroundings) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX shells, links, signals and limits";
#else
    WriteFile("a.csv", DialogCsvOf("a.bin"));
    const std::string speed = GenerateRecording({.sensorType = "speed"});
    WriteFile("ctl.bin", "Tavomir Morvanex A 2 speed \x1b]0;pwned\x07\xEF\xBF\xBF\n" +
                             speed.substr(speed.find('\n') + 1));
    WriteZeros("big.bin", 40'000'000);
    struct Case {
        std::string command, out, err;
    };
    std::vector<Case> cases = {
        // What a name leads to: standard output, a pipe, a file deleted meanwhile.
        {"$C -q -f -o /dev/stdout a.bin | cat >p.csv; test -s p.csv || echo empty", "empty\n",
         "/dev/stdout is not a regular file ('-o -' writes to standard output)"},
        {"exec 3>gone.csv; rm gone.csv; $C -q -f -o /dev/fd/3 a.bin; echo $?", "1\n",
         "cannot write /dev/fd/3: No such file or directory"},
        // Standard output that is the recording, or a full or closed one.
        {"cp s.bin t.bin; $C -o - t.bin >> t.bin; echo $?; cmp t.bin s.bin && echo ok", "1\nok\n",
         "t.bin: standard output is the recording itself"},
        {"$C --summary s.bin > /dev/full; echo $?", "1\n",
         "s.bin: cannot write to standard output: No space left on device"},
        {"$C --version >&-; echo $?", "1\n",
         "cannot write to standard output: Bad file descriptor"},
        // Signals mid-conversion end the run as they would, without the temporary file.
        {"timeout --preserve-status -s INT 0.5 $C -q -f big.bin; echo $?", "130\n", ""},
        {"timeout --preserve-status -s TERM 0.5 $C -q -f big.bin; echo $?", "143\n", ""},
        {"timeout --preserve-status -s HUP 0.5 $C -q -f big.bin; echo $?", "129\n", ""},
        // At any moment of a batch: no file of the run left behind, no target left empty.
        {"for i in $(seq 40); do cp a.bin q$i.bin; done; for i in $(seq 30); do $C -q -f q*.bin & "
         "p=$!; sleep $(shuf -i 1-300 -n 1)e-3; kill -TERM $p 2>/dev/null; wait $p 2>/dev/null; ls "
         "| grep "
         "partial; find . "
         "-name 'q*.csv' -empty; done; rm q*",
         "", ""},
        {"ulimit -c 0; timeout --preserve-status -s QUIT 0.5 $C -q -f big.bin; echo $?", "131\n",
         ""},
        {"(ulimit -f 100; $C -q -f big.bin); echo $?", "1\n",
         "cannot write big.bin.csv: File too large"},
        {"(ulimit -f 100; $C -o - big.bin > o.csv); echo $?", "1\n",
         "big.bin: cannot write to standard output: File too large"},
        // The right cause: a header that cannot be read, a file that is no recording.
        {"$C --summary /proc/self/mem; echo $?", "1\n",
         "/proc/self/mem: cannot read: Input/output"},
        {"$C /proc/version; echo $?", "1\n", "/proc/version: not a recording"},
        // A replaced file keeps its permissions.
        {"cp old.csv p.csv; chmod 640 p.csv; $C -q -f -o p.csv a.bin; stat -c %a p.csv", "640\n",
         ""},
        // Control bytes from a header or a name reach a terminal escaped, a pipe unchanged.
        {"script -qec \"$C --summary ctl.bin\" /dev/null >t; grep -c 'x1b]0;pwned.x07' t; grep -c "
         "\"$(printf '\\033')\" t",
         "1\n0\n", ""},
        {"$C --summary ctl.bin | grep -c \"$(printf '\\033]0;pwned\\007')\"", "1\n", ""},
        // In the health report too, and escaped by JSON's and XML's rules in JSON and SVG (where
        // U+FFFF is no character either).
        {"script -qec \"$C --stats ctl.bin\" /dev/null | grep -c 'x1b]0;pwned.x07'", "1\n", ""},
        {"$C --stats --json ctl.bin | grep -c 'u001b]0;pwned.u0007'", "1\n", ""},
        {"$C -q --plot -o c.svg ctl.bin; grep -c 'x1b]0;pwned.x07' c.svg; rsvg-convert c.svg | wc "
         "-c "
         "| grep -qv '^0' && echo renders",
         "2\nrenders\n", ""},
        // The picture's time axis runs to the damaged stamp; value labels many digits long start
        // inside the picture, as a renderer draws them.
        {"$C -q --plot -o w.svg w.bin; grep -c '>1.8e+16<' w.svg; rsvg-convert w.svg >w.png; "
         "convert w.png -crop 3x999+0+0 -format '%[fx:minima==1]\\n' info:; convert w.png -crop "
         "90x760+3+100 -format '%[fx:minima<0.5]\\n' info:",
         "3\n1\n1\n", ""},
        {"$C --stats s.bin > /dev/full; echo $?", "1\n",
         "s.bin: cannot write to standard output: No space left on device"},
        // Steps all alike: no gap, and no "about 0".
        {"$C --stats s.bin | grep -c '^  gaps      none$'", "1\n", ""},
        {"script -qec \"$C '$(printf 'x\\033[2J')'\" /dev/null | grep -c 'x.x1b.2J: cannot open'",
         "1\n", ""},
    };
#ifndef OSCIMO_SANITIZED  // the sanitizers cannot start under a memory limit
    // No second thread: one formats alone.
    cases.push_back(
        {"(ulimit -v 1000000; ulimit -s 2000000; $C -q -f a.bin); echo $?; cmp a.bin.csv a.csv && "
         "echo ok",
         "0\nok\n", ""});
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const ProgramRun run = RunProgram(
            "/bin/sh",
            {"-c", "C=" + ProgramBesideThisOne("oscimo2csv").native() + "; " + c.command});
        EXPECT_EQ(run.out, c.out);
        EXPECT_TRUE(c.err.empty() ? run.err.empty() : run.err.find(c.err) != std::string::npos)
            << run.err;
        for (const std::string& name : FolderContents("."))
            EXPECT_EQ(name.find("partial"), std::string::npos) << name;
    }
#endif
}

// The picture as a renderer draws it (rsvg-convert on this machine, Wine's host under Wine):
// every sample, spikes among them, inside its pixel column's band; each panel's range from its
// least to its greatest value; the gap a break, the ticks in it; the title in ink. The last sample,
// stamped before the first, makes the converter read the recording twice.
TEST_F(ConverterTest, PlotShowsEverySampleAndBreaksAtGaps) {
    const SensorFormat format = LookUpSensorFormat("acceleration");
    std::vector<std::uint64_t> stamps;
    std::vector<SampleRow> rows;
    std::string bytes = "Tavomir Morvanex A 2 acceleration 波形\n";
    std::uint64_t stamp = 1'000'000'000;
    for (int i = 0; i < 20'000; ++i) {
        stamp =
            i == 5'000 ? stamp - 25'000'000 : stamp + (i == 12'000 ? 60'000'000'000 : 10'000'000);
        const float values[] = {static_cast<float>(std::sin(i / 500.0)),
                                i % 997 ? static_cast<float>(std::cos(i / 300.0)) : 40.0f,
                                i % 2 ? -1.0f : 1.0f};
        stamps.push_back(i == 19'999 ? 500'000'000 : stamp);
        rows.push_back({{values[0], values[1], values[2]}});
        bytes += BigEndian64(stamps.back());
        for (const float value : values) bytes += BigEndianFloat(value);
    }
    WriteFile("wave.bin", bytes);
    ASSERT_EQ(RunProgram(ProgramBesideThisOne("oscimo2csv"), {"-q", "--plot", "wave.bin"}).exitCode,
              0);
    ASSERT_EQ(RunOnHost(dir.path(),
                        "rsvg-convert -o wave.png wave.bin.svg && convert wave.png "
                        "-colorspace Gray -depth 8 wave.pgm && echo ok"),
              "ok\n");
    std::istringstream pgm(ReadFile("wave.pgm"));
    std::string magic;
    int width = 0, height = 0, maximum = 0;
    pgm >> magic >> width >> height >> maximum;
    pgm.get();
    const std::string pixels = ReadFile("wave.pgm").substr(static_cast<std::size_t>(pgm.tellg()));
    ASSERT_EQ(magic + std::to_string(width), "P5" + std::to_string(PlotLayout::kWidth));
    const auto grey = [&](int x, int y) {
        return static_cast<unsigned char>(pixels[static_cast<std::size_t>(y * width + x)]);
    };
    const auto ink = [&](int x, int y) { return grey(x, y) < 128; };
    RecordingStats stats(format);
    stats.Add(stamps.data(), rows.data(), rows.size());
    PlotBands bands(3, stats.minStamp, stats.maxStamp);
    bands.Add(stamps.data(), rows.data(), rows.size());
    const PlotScales scales(bands, stats);
    int outside = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (int panel = 0; panel < 3; ++panel) {
            outside += !ink(PlotLayout::kLeft + bands.ColumnOf(stamps[i]),
                            PlotLayout::Top(panel) + scales.RowOf(panel, rows[i].values[panel]));
        }
    }
    EXPECT_EQ(outside, 0);
    // The sine's crest at the panel's top, its trough at the bottom; the spikes set the range.
    const auto at = [&](std::size_t i) { return PlotLayout::kLeft + bands.ColumnOf(stamps[i]); };
    const int top = PlotLayout::Top(0), bottom = top + PlotBands::kRows - 1;
    EXPECT_TRUE(ink(at(785), top) && !ink(at(785), bottom) && ink(at(2'356), bottom) &&
                !ink(at(2'356), top));
    EXPECT_EQ(scales.values[1].labels,
              (std::vector<std::string>{"-10", "0", "10", "20", "30", "40"}));
    // In the gap: no ink, only the grid line of 150 s.
    const int gap = PlotLayout::kLeft + bands.ColumnOf(1'000'000'000 + 150'000'000'000);
    int inGap = 0, inTitle = 0;
    for (int panel = 0; panel < 3; ++panel) {
        for (int row = 1; row < PlotBands::kRows - 1; ++row) {
            inGap +=
                ink(gap, PlotLayout::Top(panel) + row) + ink(gap + 3, PlotLayout::Top(panel) + row);
        }
    }
    EXPECT_EQ(inGap, 0);
    EXPECT_TRUE(grey(gap, top + 30) < 240 && grey(gap + 3, top + 30) == 255);
    for (int y = 10; y < PlotLayout::kFirstTop - 30; ++y) {
        for (int x = 10; x < 300; ++x) inTitle += ink(x, y);
    }
    EXPECT_GT(inTitle, 200);
}

// Memory running out fails the run with one message and leaves nothing behind.
TEST_F(ConverterTest, MemoryExhaustedFailsTheRun) {
    const std::vector<std::string> before = FolderContents(".");
    FailAllocationsOfAtLeast(1 << 18);
    const int exit = RunConverter(
        {fs::path("-q").native(), fs::path("s.bin").native(), fs::path("a.bin").native()});
    StopFailingAllocations();
    EXPECT_EQ(exit, 1);
    EXPECT_EQ(FolderContents("."), before);
    // Each allocation of a run failing in turn: exit 1 with one message, nothing left, until the
    // run has all it needs.
    const std::vector<NativeString> arguments = {fs::path("-q").native(),
                                                 fs::path("s.bin").native()};
    for (long successes = 0;; ++successes) {
        testing::internal::CaptureStderr();
        FailAllocationAfter(successes);
        const int status = RunConverter(arguments);
        StopFailingAllocations();
        const std::string err = testing::internal::GetCapturedStderr();
        if (status == 0) break;
        EXPECT_EQ(status, 1);
        EXPECT_EQ(FolderContents("."), before) << "after " << successes;
#ifndef _WIN32  // the console's handle is not the runtime's descriptor 2
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
#endif
        ASSERT_LT(successes, 10'000);
    }
}

#ifdef _WIN32
// A converter killed while it writes (Task Manager, a closed console) leaves nothing behind.
TEST_F(ConverterTest, KilledWhileWritingLeavesNothing) {
    const std::vector<std::string> before = FolderContents(".");
    WriteZeros("big.bin", 40'000'000);
    const std::wstring exe = ProgramBesideThisOne("oscimo2csv").wstring();
    const auto converter = reinterpret_cast<HANDLE>(
        _wspawnl(_P_NOWAIT, exe.c_str(), exe.c_str(), L"-q", L"big.bin", nullptr));
    // Killed once it writes, which 800 MB outlast however slow the route: not between making
    // the temporary and marking it to delete itself, two calls no program can make one.
    std::error_code none;
    while (fs::file_size("big.bin.csv.partial", none) == 0 &&
           WaitForSingleObject(converter, 10) == WAIT_TIMEOUT) {
    }
    EXPECT_TRUE(TerminateProcess(converter, 1));
    WaitForSingleObject(converter, INFINITE);
    CloseHandle(converter);
    fs::remove("big.bin");
    // The system removes them as it closes the killed process's handles, not before.
    for (int wait = 0; wait < 500 && FolderContents(".") != before; ++wait) Sleep(10);
    EXPECT_EQ(FolderContents("."), before);
}
#endif

// Jobs whose targets are one file, by two names, take turns in the order given, however many
// threads there are: the file ends as the second CSV, whole.
TEST_F(ConverterTest, JobsSharingATargetTakeTurns) {
    fs::copy_file("a.bin", "h1.bin");
    fs::copy_file("l.bin", "h2.bin");
    WriteFile("h1.bin.csv", "");
    fs::create_hard_link("h1.bin.csv", "h2.bin.csv");
    const std::string second = DialogCsvOf("h2.bin");
    for (int run = 0; run < 8; ++run) {
        EXPECT_EQ(RunProgram(ProgramBesideThisOne("oscimo2csv"), {"-q", "-f", "h1.bin", "h2.bin"})
                      .exitCode,
                  0);
        EXPECT_TRUE(ReadFile("h1.bin.csv") == second) << "run " << run;
    }
}

// Where a file system has no 128-bit file IDs, the recording is still known by what it has.
TEST_F(ConverterTest, KnowsTheRecordingWithoutFileIds) {
    WithoutFileIdsForTesting(true);
    const int exit =
        RunConverter({fs::path("-q").native(), fs::path("-f").native(), fs::path("-o").native(),
                      fs::path("r.bin").native(), fs::path("r.bin").native()});
    WithoutFileIdsForTesting(false);
    EXPECT_EQ(exit, 1);
    EXPECT_EQ(ReadFile("r.bin"), ReadFile("s.bin"));
}

// A long conversion shows its progress on a terminal, and nowhere else.
TEST_F(ConverterTest, ProgressOnlyOnATerminal) {
#ifdef _WIN32
    GTEST_SKIP() << "no pseudo-terminals";
#else
    const auto convert = [](bool onTerminal, const std::string& options) {
        const std::string command = ProgramBesideThisOne("oscimo2csv").native() + " " + options +
                                    " -o - long.bin >/dev/null";
        return onTerminal ? RunProgram("/usr/bin/script",
                                       {"-qec", "stty cols 24; " + command, "/dev/null"})
                                .out
                          : RunProgram("/bin/sh", {"-c", command}).err;
    };
    // Zero samples in a sparse file, made longer until converting them outlasts the delay.
    std::string shown;
    std::uint64_t samples = 8'000'000;
    while (shown.empty() && (samples *= 2) < 300'000'000) {
        WriteZeros("long.bin", samples);
        shown = convert(true, "--round-trip");
    }
    // Narrower than the terminal's 24 columns, at 100% too.
    EXPECT_TRUE(shown.starts_with("\roscimo2...ong.bin: ") &&
                shown.ends_with(": 100%\r" + std::string(23, ' ') + "\r"))
        << shown;
    EXPECT_EQ(convert(true, "-q --round-trip"), "");
    WriteZeros("long.bin", samples + samples / 2);
    EXPECT_EQ(convert(false, "--round-trip"), "");
#endif
}

// Every build, the 32-bit release included, writes the same bytes in every style: irregular
// stamp steps (times near rounding ties among them) and random values of every layout, through
// the converter and through the one-thread reference writer, and draws the same pictures. The
// digests are the native build's.
TEST_F(ConverterTest, SameBytesInEveryBuild) {
    std::mt19937_64 random(2026);
    std::vector<std::string> names;
    for (const char* type : {"acceleration", "TLocation", "speed"}) {
        const GeneratedLayout layout = LayoutOf(type);
        std::string bytes = std::string("Tavomir Morvanex A 2 ") + type + " r\n";
        std::uint64_t stamp = 1'000'000'000;
        bytes += BigEndian64(stamp) +
                 std::string(static_cast<std::size_t>(layout.columns * layout.valueWidth), '\0');
        bytes += BigEndian64(stamp + (layout.milliseconds ? 103 : 103'248'500));  // a tie
        bytes += std::string(static_cast<std::size_t>(layout.columns * layout.valueWidth), '\0');
        for (int row = 0; row < 20'000; ++row) {
            const std::uint64_t bits = random();
            stamp += row % 2 ? 1'234'567 : bits >> (24 + row % 16);
            bytes += BigEndian64(row % 97 ? stamp : stamp - (bits >> 40));  // some go backwards
            for (int column = 0; column < layout.columns; ++column) {
                // Any bit pattern, or a short decimal that may sit on a rounding tie.
                const std::uint64_t v = random();
                const double decimal = static_cast<double>(static_cast<std::int32_t>(v)) /
                                       std::stod("1e" + std::to_string(v >> 60));  // exact
                bytes += layout.valueWidth == 8
                             ? BigEndianDouble(v % 3 ? decimal : std::bit_cast<double>(v))
                             : BigEndianFloat(
                                   v % 3 ? static_cast<float>(decimal)
                                         : std::bit_cast<float>(static_cast<std::uint32_t>(v)));
            }
        }
        names.push_back(std::string(type) + ".bin");
        WriteFile(names.back(), bytes);
    }
    const std::uint64_t expected[19] = {
        0x18d2801feaf1e37c, 0x6653961eb4a0199c, 0x6fcf300d4d10b61f, 0x8a1bda1929e696ff,
        0x456d194ac1fcbd80, 0x27251895b89bbb16, 0x18d2801feaf1e37c, 0x993bd721cf68ed3c,
        0x311f35823938af2f, 0x76cecd2fc4e23374, 0xc1aab3fcbd055150, 0x804288eb5e68d984,
        0x854c97f0201a7cc3, 0xf501ff795429707c, 0xddc37dff7e957f51, 0xe6e8d59fc6efca61,
        0xe3a738e4ad8e0825, 0x469527141481ffc6, 0x128b579e6bad1ae1};
    for (int digits = 0; digits <= 18; ++digits) {  // 0: six digits by default, 18: round-trip
        const CellStyle style = digits == 0    ? CellStyle{}
                                : digits == 18 ? CellStyle::RoundTrip()
                                               : CellStyle::WithDigits(digits);
        // The text is the same on any number of threads.
        std::vector<fs::path> arguments = {"-q", "-f", "--threads", std::to_string(1 + digits % 5)};
        if (digits == 18) arguments.push_back("--round-trip");
        if (digits > 0 && digits < 18)
            arguments.insert(arguments.end(), {"--digits", std::to_string(digits)});
        arguments.insert(arguments.end(), names.begin(), names.end());
        EXPECT_EQ(RunProgram(ProgramBesideThisOne("oscimo2csv"), arguments).exitCode, 0);
        std::uint64_t converted = 0xcbf29ce484222325, dialog = converted;
        for (const std::string& name : names) {
            converted = Digest(ReadFile(name + ".csv"), converted);
            dialog = Digest(DialogCsvOf(name, style), dialog);
        }
        EXPECT_EQ(converted, expected[digits]) << "style " << digits;
        EXPECT_EQ(dialog, expected[digits]) << "style " << digits;
    }
    // Their pictures too: every coordinate and label.
    std::vector<fs::path> plot = {"-q", "-f", "--plot"};
    plot.insert(plot.end(), names.begin(), names.end());
    EXPECT_EQ(RunProgram(ProgramBesideThisOne("oscimo2csv"), plot).exitCode, 0);
    std::uint64_t pictures = 0xcbf29ce484222325;
    for (const std::string& name : names) pictures = Digest(ReadFile(name + ".svg"), pictures);
    EXPECT_EQ(pictures, 0x8d73dddb655f22b5u);
}

}  // namespace
