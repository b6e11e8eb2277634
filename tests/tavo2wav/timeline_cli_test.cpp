// End-to-end runs of tavo2wav with --gaps and --timeline on generated
// recordings with known gaps: frame counts, the silent runs, the warnings,
// the "Timeline:" line, the label file byte for byte and the cue points;
// then the written files read back by ffprobe, sndfile-info, soxi and
// Python's wave module.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "run_process.h"
#include "tavo_writer.h"

namespace {

namespace fs = std::filesystem;
const std::string BIN = TAVO2WAV_BIN;

// Samples of a record: 500 + 100 and 500 - 100 alternating, so that after
// offset removal (mean 500, silence left out) no sample is 0 and the
// automatic factor is 128.
tavo_test::Record record(long minutes, long seconds)
{
    tavo_test::Record r;
    r.time = {minutes, seconds};
    for (auto& ch : r.channels)
        for (int j = 0; j < 128; j++)
            ch.push_back(j % 2 ? 600 : 400);
    return r;
}

// A binary file of 128-sample records at 18 Hz (7.111 s each) stamped
// (minutes, seconds) from its base hour; an empty header letter makes an
// old-style file.
struct File {
    int slot;  // 16: 08:00, 20: 10:00
    std::vector<std::array<long, 2>> stamps;
    bool old_style = false;
};

std::string make(const std::string& dir, const File& f)
{
    tavo_test::Recording rec{
        f.old_style ? "T 18 Hz old style" : tavo_test::form3_header('S', 128, "18", 1, 'k'),
        !f.old_style,
        128,
        {}};
    for (const auto& s : f.stamps)
        rec.records.push_back(record(s[0], s[1]));
    const std::string path = tavo_test::dated_path(dir, 'k', 2014, 3, 15, f.slot);
    tavo_test::write_binary(path, rec);
    return path.substr(dir.size() + 1);
}

RunResult run_in(const std::string& dir, std::vector<std::string> argv)
{
    argv.insert(argv.begin(), BIN);
    RunOptions options;
    options.program = BIN;
    options.env = {"TZ=UTC"};
    return run_process(argv, dir, options);
}

std::vector<int16_t> samples_of(const std::string& wav, std::size_t data_at)
{
    const std::string b = tavo_test::read_bytes(wav);
    std::vector<int16_t> s;
    for (std::size_t at = data_at; at + 1 < b.size(); at += 2)
        s.push_back(static_cast<int16_t>(static_cast<uint8_t>(b[at]) |
                                         static_cast<uint8_t>(b[at + 1]) << 8));
    return s;
}

// Offset of the first data byte, found by walking the chunks.
std::size_t data_offset(const std::string& bytes)
{
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::size_t size =
            static_cast<uint8_t>(bytes[at + 4]) | static_cast<uint8_t>(bytes[at + 5]) << 8 |
            static_cast<uint8_t>(bytes[at + 6]) << 16 |
            static_cast<std::size_t>(static_cast<uint8_t>(bytes[at + 7])) << 24;
        if (bytes.compare(at, 4, "data") == 0)
            return at + 8;
        at += 8 + size + size % 2;
    }
    return bytes.size();
}

// The runs [start, end) of zero samples.
std::vector<std::pair<std::size_t, std::size_t>> zero_runs(const std::vector<int16_t>& s)
{
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    for (std::size_t i = 0; i < s.size(); i++) {
        if (s[i] != 0)
            continue;
        std::size_t j = i;
        while (j < s.size() && s[j] == 0)
            j++;
        runs.push_back({i, j});
        i = j;
    }
    return runs;
}

struct GapCase {
    const char* name;
    std::vector<File> files;
    std::vector<std::string> args;  // the file names follow
    std::string timeline;           // the "Timeline:" line
    std::string warnings;           // the "Warning:" lines on standard error
    std::size_t frames;
    std::vector<std::pair<std::size_t, std::size_t>> zeros;  // in a*.wav
    std::string labels;                                      // the label file
};

class GapRun : public testing::TestWithParam<GapCase> {};

std::string warning_lines(const std::string& err)
{
    std::istringstream in(err);
    std::string line, out;
    while (std::getline(in, line))
        if (line.rfind("Warning: t", 0) == 0 || line.rfind("Warning: k", 0) == 0 ||
            line.find("no time stamps") != std::string::npos ||
            line.find(" s of station time missing ") != std::string::npos ||
            line.rfind("Warning: buffers", 0) == 0)
            out += line + "\n";
    return out;
}

TEST_P(GapRun, SilenceAndMarkersLieWhereTheGapsAre)
{
    const GapCase& c = GetParam();
    tavo_test::TempDir dir;
    std::vector<std::string> argv = c.args;
    std::string base;
    for (const File& f : c.files) {
        argv.push_back(make(dir.path(), f));
        if (base.empty())
            base = fs::path(argv.back()).stem().string();
    }
    const RunResult r = run_in(dir.path(), argv);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(c.timeline + "Removing offset done\n"), std::string::npos) << r.out;
    EXPECT_EQ(warning_lines(r.err), c.warnings);
    const std::string a = dir.file("a" + base.substr(1) + ".wav");
    const std::string bytes = tavo_test::read_bytes(a);
    const std::vector<int16_t> s = samples_of(a, data_offset(bytes));
    EXPECT_EQ(s.size(), c.frames);
    EXPECT_EQ(zero_runs(s), c.zeros);
    // The mean left the silence out: 400 and 600 less 500, times 128.
    ASSERT_GE(s.size(), 2u);
    EXPECT_EQ(s[0], -12800);
    EXPECT_EQ(s[1], 12800);
    EXPECT_EQ(tavo_test::read_bytes(dir.file(base + ".labels.txt")), c.labels);
    EXPECT_NE(r.out.find("writing: " + base + ".labels.txt done\n"), std::string::npos);
}

// 18 Hz, 128-sample records (7.111 s); at 4000 Hz without resampling one
// frame is one input sample. A gap of stamps 7 s -> 107 s misses
// 100 - 7.111 s: 1800 - 128 = 1672 samples.
const std::string T222 =
    "Timeline: 1 s of audio = 222.222 s of station time, from 2014-03-15T08:00:00Z\n";
const std::vector<std::string> RAW = {"-u", "0", "-f", "--timeline"};

std::vector<std::string> with(std::vector<std::string> v, const std::string& more)
{
    v.push_back("--gaps");
    v.push_back(more);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Gaps, GapRun,
    testing::Values(
        GapCase{"WithinFileSilence",
                {{16, {{0, 0}, {0, 7}, {1, 47}}}},
                with(RAW, "silence"),
                T222,
                "",
                128 * 3 + 1672,
                {{256, 1928}},
                "0.000000\t0.000000\t2014-03-15 08:00Z\n0.064000\t0.482000\tgap 93 s silence\n"},
        GapCase{"WithinFileJoined",
                {{16, {{0, 0}, {0, 7}, {1, 47}}}},
                with(RAW, "join"),
                T222,
                "",
                128 * 3,
                {},
                "0.000000\t0.000000\t2014-03-15 08:00Z\n0.064000\t0.064000\tgap 93 s joined\n"},
        // 08:00:07 + 7.111 s to 09:00:10: 3603 s x 18 - 128 samples of
        // silence, with 09:00 at 3585.889 s x 18 = 64546 samples into them.
        GapCase{"HourInsideSilence",
                {{16, {{0, 0}, {0, 7}, {60, 10}}}},
                with(RAW, "silence"),
                T222,
                "",
                128 * 3 + 64726,
                {{256, 256 + 64726}},
                "0.000000\t0.000000\t2014-03-15 08:00Z\n0.064000\t16.245500\tgap 3596 s silence\n"
                "16.200500\t16.200500\t2014-03-15 09:00Z\n"},
        // Hourly files 08:00 and 10:00 with -c: the missing hour between
        // 08:00:07 + 7.111 s and 10:00:00 is 7193 x 18 - 128 samples.
        GapCase{
            "BetweenHourlyFiles",
            {{16, {{0, 0}, {0, 7}}}, {20, {{0, 0}, {0, 7}}}},
            with({"-c", "-u", "0", "-f", "--timeline"}, "silence"),
            T222,
            "",
            128 * 4 + 129346,
            {{256, 256 + 129346}},
            "0.000000\t0.000000\t2014-03-15 08:00Z\n0.064000\t32.400500\tgap 7186 s silence\n"
            "16.200500\t16.200500\t2014-03-15 09:00Z\n32.400500\t32.400500\t2014-03-15 10:00Z\n"},
        // Joined, the missing hour is told and marked as a point.
        GapCase{"BetweenHourlyFilesJoined",
                {{16, {{0, 0}, {0, 7}}}, {20, {{0, 0}, {0, 7}}}},
                with({"-c", "-u", "0", "-f", "--timeline"}, "join"),
                T222,
                "Warning: 7186 s of station time missing between "
                "2014/03/20140315/k4031516.dat and 2014/03/20140315/k4031520.dat; joined "
                "(--gaps silence keeps the time)\n",
                128 * 4,
                {},
                "0.000000\t0.000000\t2014-03-15 08:00Z\n0.064000\t0.064000\t2014-03-15 09:00Z\n"
                "0.064000\t0.064000\t2014-03-15 10:00Z\n0.064000\t0.064000\tgap 7186 s joined\n"},
        // 08:05:07 back to 08:01:00 is a step of -247 s: joined, told once.
        GapCase{"BackwardsStampJoins",
                {{16, {{5, 0}, {5, 7}, {1, 0}, {1, 7}, {0, 0}}}},
                with(RAW, "silence"),
                "Timeline: 1 s of audio = 222.222 s of station time, from 2014-03-15T08:05:00Z\n",
                "Warning: time goes back 247 s before record 3 of 2014/03/20140315/k4031516.dat; "
                "joined\n",
                128 * 5,
                {},
                "0.064000\t0.064000\tgap -254 s joined\n0.128000\t0.128000\tgap -74 s joined\n"},
        GapCase{"OldStyleFileJoins",
                {{16, {{0, 0}, {0, 0}}, true}},
                with(RAW, "silence"),
                "Timeline: 1 s of audio = 222.222 s of station time, start unknown\n",
                "Warning: 2014/03/20140315/k4031516.dat has no time stamps; its gaps cannot be "
                "filled\n",
                256,
                {},
                ""}),
    [](const testing::TestParamInfo<GapCase>& i) { return std::string(i.param.name); });

// With the filter and resampling on, the edges of a long gap are smeared
// but its middle stays silent, and the frames still follow station time.
TEST(GapSilence, MiddleOfALongGapStaysSilentThroughTheFilter)
{
    tavo_test::TempDir dir;
    const std::string name = make(dir.path(), {16, {{0, 0}, {0, 7}, {1, 47}}});
    const RunResult r = run_in(dir.path(), {"--gaps", "silence", name});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string a = dir.file("a4031516.wav");
    const std::vector<int16_t> s = samples_of(a, 44);
    ASSERT_EQ(s.size(), (128u * 3 + 1672) * 4);
    for (std::size_t i = 256 * 4 + 400; i < (256 + 1672) * 4 - 400; i++)
        ASSERT_EQ(s[i], 0) << "frame " << i;
    EXPECT_NE(s[256 * 4 - 10], 0);
    EXPECT_NE(s[(256 + 1672) * 4 + 200], 0);
    // Without --timeline the header stays the canonical 44 bytes.
    EXPECT_EQ(tavo_test::read_bytes(a).compare(36, 4, "data"), 0);
}

TEST(GapOption, RefusesAnUnknownPolicy)
{
    tavo_test::TempDir dir;
    const std::string name = make(dir.path(), {16, {{0, 0}}});
    const RunResult r = run_in(dir.path(), {"--gaps", "zero", name});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Error: --gaps needs join or silence, not \"zero\"\n");
    EXPECT_FALSE(fs::exists(dir.file("a4031516.wav")));
}

// Output of a shell command run in dir, standard error included.
std::string shell(const std::string& dir, const std::string& command)
{
    const RunResult r = run_process({"/bin/sh", "-c", command + " 2>&1"}, dir);
    EXPECT_EQ(r.status, 0) << command << "\n" << r.out;
    return r.out;
}

// Two hourly files with -c, one gap filled, in stereo at 44100 Hz with
// -u 50: the clients people use read the time map and the audio.
class Clients : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new tavo_test::TempDir;
        const std::string first = make(dir_->path(), {16, {{0, 0}, {0, 7}}});
        const std::string second = make(dir_->path(), {20, {{0, 0}, {0, 7}}});
        const RunResult r = run_in(dir_->path(), {"-c", "-s", "-u", "50", "-r", "1", "--gaps",
                                                  "silence", "--timeline", first, second});
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_NE(r.out.find(
                      "Timeline: 1 s of audio = 49 s of station time, from 2014-03-15T08:00:00Z\n"),
                  std::string::npos);
    }
    static void TearDownTestSuite() { delete dir_; }
    static tavo_test::TempDir* dir_;
    // (128 x 4 + 129346) input samples x 50.
    static constexpr unsigned long FRAMES = (128ul * 4 + 129346) * 50;
};
tavo_test::TempDir* Clients::dir_ = nullptr;

TEST_F(Clients, FfprobeShowsTheBextFieldsAndInfoTags)
{
    const std::string out = shell(
        dir_->path(),
        "ffprobe -v error -show_entries format_tags -of default=noprint_wrappers=1 d4031516.wav");
    for (const char* tag :
         {"TAG:encoded_by=tavo2wav", "TAG:date=2014-03-15", "TAG:creation_time=08:00:00",
          // 08:00:00 is 28800 s after midnight: x 18 Hz x 50.
          "TAG:time_reference=25920000", "TAG:title=Station k, 2014-03-15",
          "TAG:encoder=tavo2wav " PROJECT_VERSION_TEXT,
          "TAG:comment=audio 0 s = 2014-03-15T08:00:00Z; 1 s of audio = 49 s of station time"})
        EXPECT_NE(out.find(std::string(tag) + "\n"), std::string::npos) << tag << " not in\n"
                                                                        << out;
}

TEST_F(Clients, SndfileInfoListsTheCuePointsAndLabels)
{
    const std::string out = shell(dir_->path(), "sndfile-info e4031516.wav");
    EXPECT_NE(out.find("Count : 4"), std::string::npos) << out;
    for (const char* pos :
         {"Offset :     0\n", "Offset : 12800\n", "Offset : 3240100\n", "Offset : 6480100\n"})
        EXPECT_NE(out.find(pos), std::string::npos) << pos << " not in\n" << out;
    for (const char* label : {"labl : 1 : 2014-03-15 08:00Z\n", "labl : 2 : gap 7186 s silence\n",
                              "labl : 3 : 2014-03-15 09:00Z\n", "labl : 4 : 2014-03-15 10:00Z\n"})
        EXPECT_NE(out.find(label), std::string::npos) << label << " not in\n" << out;
    // The filled gap's region follows the labels, and the data chunk is found after it.
    EXPECT_NE(out.find("labl : 4 : 2014-03-15 10:00Z\n    ltxt : 20\ndata : "), std::string::npos)
        << out;
    // bext: 602 bytes, version 1 without coding history.
    EXPECT_NE(out.find("bext : 602\n"), std::string::npos) << out;
}

// The gap's region: cue 2, as long as its silence (129346 input samples x
// 50); ffprobe's chapters keep every label after it.
TEST_F(Clients, FilledGapIsARegionAndEveryChapterKeepsItsTitle)
{
    const std::string b = tavo_test::read_bytes(dir_->file("d4031516.wav"));
    const std::size_t ltxt = b.find("ltxt");
    ASSERT_NE(ltxt, std::string::npos);
    const auto le32 = [&b](std::size_t at) {
        return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
               uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
    };
    EXPECT_EQ(le32(ltxt + 8), 2u);
    EXPECT_EQ(le32(ltxt + 12), 129346u * 50);
    EXPECT_EQ(b.substr(ltxt + 16, 4), "rgn ");
    const std::string out = shell(dir_->path(),
                                  "ffprobe -v error -show_entries chapter_tags=title "
                                  "-of csv=p=0 d4031516.wav");
    EXPECT_EQ(out, "2014-03-15 08:00Z\ngap 7186 s silence\n2014-03-15 09:00Z\n2014-03-15 10:00Z\n");
}

TEST_F(Clients, SoxiAndPythonWaveReadRateChannelsAndFrames)
{
    for (const char* name : {"d4031516.wav", "e4031516.wav", "f4031516.wav"}) {
        EXPECT_EQ(shell(dir_->path(),
                        std::string("soxi -r ") + name + "; soxi -c " + name + "; soxi -s " + name),
                  "44100\n2\n" + std::to_string(FRAMES) + "\n");
        EXPECT_EQ(shell(dir_->path(),
                        std::string("python3 -c \"import wave; w = wave.open('") + name +
                            "'); print(w.getframerate(), w.getnchannels(), w.getnframes())\""),
                  "44100 2 " + std::to_string(FRAMES) + "\n");
    }
}

TEST_F(Clients, BextDescriptionNamesStationFrequencySpeedupAndSources)
{
    // ffprobe shows the INFO comment under the key the description shares,
    // so the Description field is read where EBU Tech 3285 puts it.
    const std::string b = tavo_test::read_bytes(dir_->file("d4031516.wav"));
    const std::size_t bext = b.find("bext");
    ASSERT_NE(bext, std::string::npos);
    EXPECT_LT(bext, b.find("data"));
    EXPECT_EQ(std::string(b.c_str() + bext + 8),
              "Station k, 18 Hz sampling, 49 times faster, from k4031516.dat and 1 more");
    EXPECT_EQ(b.substr(bext + 8 + 256, 9), std::string("tavo2wav\0", 9));
    // libsndfile reads it there too.
    EXPECT_EQ(shell(dir_->path(), "sndfile-metadata-get --bext-description d4031516.wav"),
              "Description            : Station k, 18 Hz sampling, 49 times faster, from "
              "k4031516.dat and 1 more\n");
}

}  // namespace
