// The command-line checks both programs share: which arguments ask for the
// help, which numeric texts count as whole numbers, which long-form arguments the walk over the
// non-option arguments reports instead of handing them on as files, and the refusal of a misspelt
// long option with its suggestion.
#include "cli/cli.h"
#include "cli/command_line.h"
#include "cli/long_options.h"
#include "rows.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <kemra/libkemra.h>

namespace {

// The forms strtol (base 0) reads entirely, and texts it would read only in part.
struct NumberText {
    const char* name;
    const char* text;
    bool whole;
};

class WholeNumber : public testing::TestWithParam<NumberText> {};

TEST_P(WholeNumber, AcceptsOnlyWhatTheScannerReadsEntirely)
{
    EXPECT_EQ(tavo::cli::is_whole_number(GetParam().text), GetParam().whole);
}

// clang-format off
const NumberText texts[] = {
    {"Zero", "0", true}, {"NegativeZero", "-0", true}, {"PlusSign", "+50", true},
    {"Hex", "0x1F", true}, {"HexUpperPrefix", "0XaB", true}, {"Octal", "017", true},
    {"OctalWithEight", "08", false}, {"BarePrefix", "0x", false},
    {"SignAfterPrefix", "0x-1", false}, {"SignAlone", "+", false}, {"Empty", "", false},
    {"LeadingBlank", " 5", false}, {"TrailingBlank", "5 ", false},
    {"TrailingLetter", "5x", false}, {"Decimal", "44.1k", false}, {"Exponent", "1e3", false},
    {"TwoSigns", "--5", false}, {"Word", "abc", false},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Texts, WholeNumber, testing::ValuesIn(texts), tavo_test::RowName());

// An argv as main receives it: "prog", then the arguments, then null.
struct Args {
    explicit Args(std::vector<std::string> args) : text(std::move(args))
    {
        text.insert(text.begin(), "prog");
        for (std::string& s : text)
            pointers.push_back(s.data());
        pointers.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(text.size()); }
    char** argv() { return pointers.data(); }
    std::vector<std::string> text;
    std::vector<char*> pointers;
};

// Help is asked for by -help, -h or -? among anything else, with any number
// of dashes, or by no argument at all.
struct HelpLine {
    const char* name;
    std::vector<std::string> args;
    bool help;
};

class WantsHelp : public testing::TestWithParam<HelpLine> {};

TEST_P(WantsHelp, OnlyForItsSpellingsOrNoArgument)
{
    reset_argument_marks();
    Args a(GetParam().args);
    EXPECT_EQ(tavo::cli::wants_help(a.argc(), a.argv()), GetParam().help);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, WantsHelp,
    testing::Values(HelpLine{"NoArguments", {}, true}, HelpLine{"DashH", {"-h"}, true},
                    HelpLine{"LongHelp", {"--help"}, true}, HelpLine{"QuestionMark", {"-?"}, true},
                    HelpLine{"AmongFilesAndOptions", {"-u", "9", "x.dat", "-h", "-c"}, true},
                    HelpLine{"FileOnly", {"x.dat"}, false},
                    HelpLine{"VersionIsNoHelp", {"--version"}, false}),
    tavo_test::RowName());

// Flag c and number n are asked first; then the files, each followed by "|",
// standard error (the scanner's lines) and the strays as the programs report them.
std::string walk(std::vector<std::string> args)
{
    Args a(std::move(args));
    long n = 0;
    get_option(a.argc(), a.argv(), "c", 1, 0);
    get_option_long(a.argc(), a.argv(), "n", &n, 0);
    testing::internal::CaptureStderr();
    const tavo::cli::FileArguments found = tavo::cli::file_arguments(a.argc(), a.argv());
    std::string files;
    for (const std::string& f : found.files)
        files += f + "|";
    files += testing::internal::GetCapturedStderr();
    for (const std::string& stray : found.strays)
        files += "Unknown option: " + stray + "\n";
    return files;
}

TEST(FileArguments, ReportsUnconsumedLongFormsAfterTheScannersLines)
{
    // The scanner stops its search at --x; every later unconsumed long form is no file either.
    EXPECT_EQ(walk({"-q", "a", "--x", "--c", "b", "--n=1", "---y=2", "-", "--"}),
              "a|b|-|--|Unknown option: -q\nUnknown option: --x\nUnknown option: ---y=2\n");
    // A consumed long form, and a long-form text taken as a value, are not reported.
    EXPECT_EQ(walk({"--n", "--z", "a"}), "a|");
    EXPECT_EQ(walk({}), "");
}

// A long-form argument no option took: the line that refuses it is "Error:
// unknown option ARGUMENT", then the suggestion, if any.
struct Misspelt {
    const char* name;
    const char* argument;
    bool converter;  // tavo2wav (its long options and one-letter spellings), else tavoinfo
    const char* suggestion;
};

class UnknownLongOption : public testing::TestWithParam<Misspelt> {};

TEST_P(UnknownLongOption, SuggestsTheNearestOrTheLetter)
{
    const Misspelt& m = GetParam();
    const std::vector<std::string> known =
        m.converter ? tavo::cli::option_names(tavo::cli::converter_long_options())
                    : std::vector<std::string>{"audio",     "help",      "json",   "plot",
                                               "plot-freq", "plot-size", "version"};
    EXPECT_EQ(tavo::cli::unknown_option_line(m.argument, known, m.converter),
              std::string("Error: unknown option ") + m.argument + m.suggestion + "\n");
}

// clang-format off
const Misspelt misspelt[] = {
    {"OneEditAway", "--resampeler", true, " (did you mean --resampler?)"},
    {"TwoEditsAway", "---timelin", true, " (did you mean --timeline?)"},
    {"TieGoesToTheFirstAlphabetically", "--heps", true, " (did you mean --gaps?)"},
    {"ThreeEditsAwayGetsNone", "--colour", true, ""},
    {"ValueGivenGetsNoNearest", "--resampeler=sinc", true, ""},
    {"LetterWithValue", "--upsample=50", true, " (did you mean -u 50?)"},
    {"LetterWithoutValue", "--upsampling", true, " (did you mean -u?)"},
    {"RateLetter", "--rate=1", true, " (did you mean -r 1?)"},
    {"GainLetter", "--gain", true, " (did you mean -z?)"},
    {"OffsetRemovalLetter", "--no-offset-removal", true, " (did you mean -o?)"},
    {"FilterIsNoLetter", "--filter", true, ""},
    {"LettersOnlyForTheConverter", "--upsample=50", false, ""},
    {"InspectorTie", "--jot", false, " (did you mean --json?)"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Arguments, UnknownLongOption, testing::ValuesIn(misspelt),
                         tavo_test::RowName());

}  // namespace
