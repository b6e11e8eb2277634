// A conversion or a picture interrupted by SIGINT, SIGTERM or SIGHUP at a
// fixed point (the programs' test hook stops there until the signal comes)
// dies of that signal; the folder holds what it held plus the outputs
// completed before, older outputs keep their bytes, and the last line on
// standard error says what was written. SIGKILL leaves nothing where unnamed
// files work; named temporary files it leaves, as the README says.
#include <gtest/gtest.h>

#include <signal.h>

#include <set>
#include <string>
#include <vector>

#include "process.h"
#include "tavo_writer.h"
#include "rows.h"

namespace {

// An older output of the same name (a picture's signature, which tavoinfo
// looks for before it replaces a file).
const std::string OLD_BYTES = std::string("\x89PNG\r\n\x1a\n", 8) + "older";

std::set<std::string> listing(const std::string& dir)
{
    const std::vector<std::string> names = tavo_test::listing(dir);
    return {names.begin(), names.end()};
}

// Forty records of 512 samples at 18 Hz: at -u 50 about a million frames per
// channel, four chunks of the linear renderer and sixteen of sinc.
void write_input(const tavo_test::TempDir& dir)
{
    tavo_test::Recording rec{tavo_test::form3_header('S', 512, "18", 1, 'k'), true, 512, {}};
    for (int r = 0; r < 40; r++) {
        const long t = r * 512L / 18;
        rec.records.push_back(tavo_test::make_record(512, 480 + t / 60, t % 60, r % 30));
    }
    tavo_test::write_binary(tavo_test::dated_path(dir.path(), 'k', 2014, 3, 15, 16), rec);
}

struct Interruption {
    const char* name;
    std::vector<std::string> args;     // after the program, before the input
    std::vector<std::string> outputs;  // what the run makes, in order
    std::string point;                 // the test hook's stop
    int signal;
    std::size_t completed;  // outputs in place before the signal
    bool named = false;     // named temporary files from the start
};

class Interrupted : public testing::TestWithParam<Interruption> {};

TEST_P(Interrupted, LeavesWhatWasCompleteAndDiesOfTheSignal)
{
    const Interruption& c = GetParam();
    const tavo_test::TempDir dir;
    write_input(dir);
    tavo_test::write_bytes(dir.file(c.outputs[0]), OLD_BYTES);
    std::set<std::string> expected = listing(dir.path());
    const bool picture = c.args[0] == "--plot";
    if (!picture)
        expected.insert("logfile");

    std::vector<std::string> argv = {picture ? TAVOINFO_BIN : TAVO2WAV_BIN};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    argv.push_back("2014/03/20140315/k4031516.dat");
    RunOptions o;
    o.env = {"TZ=UTC", "TAVO_TEST_STOP=" + c.point};
    if (c.named)
        o.env.push_back("TAVO_TEST_NAMED=1");
    o.signal_on_stop = c.signal;
    o.timeout_s = 120;
    const RunResult r = run_process(argv, dir.path(), o);

    EXPECT_EQ(r.signal, c.signal) << r.err;
    std::string said = "Interrupted; no output written\n";
    for (std::size_t i = 0; i < c.completed; i++) {
        said = (i == 0 ? "Interrupted; written before: " : said.substr(0, said.size() - 1) + ", ") +
               c.outputs[i] + "\n";
        expected.insert(c.outputs[i]);
    }
    if (c.signal == SIGKILL) {
        said = "";
        // Named temporaries stay when nothing can remove them: one per file.
        std::size_t left = 0;
        for (const std::string& n : listing(dir.path()))
            if (n[0] == '.' && c.named && ++left)
                expected.insert(n);
        EXPECT_EQ(left, c.named ? c.outputs.size() : 0u);
    }
    const std::string last = r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1);
    EXPECT_EQ(c.signal == SIGKILL ? "" : last, said) << r.err;
    EXPECT_EQ(listing(dir.path()), expected);
    if (c.completed == 0)
        EXPECT_EQ(tavo_test::read_bytes(dir.file(c.outputs[0])), OLD_BYTES);
    else
        EXPECT_NE(tavo_test::read_bytes(dir.file(c.outputs[0])), OLD_BYTES);
}

// Every signal at every point, in the three layouts with the linear
// resampler and in mono with sinc; SIGKILL with unnamed and named files.
std::vector<Interruption> table()
{
    const std::vector<std::string> mono = {"a4031516.wav", "b4031516.wav", "c4031516.wav"},
                                   stereo = {"d4031516.wav", "e4031516.wav", "f4031516.wav"},
                                   six = {"6chk4031516.wav", "k4031516.labels.txt"};
    const std::vector<Interruption> layouts = {
        {"Mono", {"-u", "50"}, mono, "", 0, 0},
        {"Stereo", {"-s", "-u", "50"}, stereo, "", 0, 0},
        {"SixWithTimeline", {"-6", "-u", "50", "--timeline"}, six, "", 0, 0},
        {"SincMono", {"--resampler", "sinc", "-u", "50"}, mono, "", 0, 0}};
    const std::pair<const char*, int> signals[] = {
        {"Int", SIGINT}, {"Term", SIGTERM}, {"Hup", SIGHUP}};
    const Interruption points[] = {{"BeforeTheFirstWrite", {}, {}, "read", 0, 0},
                                   {"InTheFirstFile", {}, {}, "chunk:2", 0, 0},
                                   {"BetweenTwoFiles", {}, {}, "placed:1", 0, 1}};
    static std::vector<std::string> names;
    names.reserve(64);  // the rows point at the names
    std::vector<Interruption> rows;
    for (const Interruption& l : layouts)
        for (const auto& [name, signal] : signals)
            for (const Interruption& p : points) {
                names.push_back(std::string(l.name) + name + p.name);
                rows.push_back(
                    {names.back().c_str(), l.args, l.outputs, p.point, signal, p.completed});
            }
    rows.push_back({"KillInTheFirstFile", {"-u", "50"}, mono, "chunk:2", SIGKILL, 0});
    rows.push_back({"KillBetweenTwoFiles", {"-u", "50"}, mono, "placed:1", SIGKILL, 1});
    rows.push_back({"NamedTermInTheFirstFile", {"-u", "50"}, mono, "chunk:2", SIGTERM, 0, true});
    rows.push_back(
        {"NamedKillLeavesItsTemporaries", {"-u", "50"}, mono, "chunk:2", SIGKILL, 0, true});
    // tavoinfo's picture, interrupted just before it gets its name.
    for (const auto& [name, signal] : signals) {
        names.push_back(std::string("Picture") + name);
        rows.push_back(
            {names.back().c_str(), {"--plot", "day.png"}, {"day.png"}, "name:1", signal, 0});
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Runs, Interrupted, testing::ValuesIn(table()), tavo_test::RowName());

}  // namespace
