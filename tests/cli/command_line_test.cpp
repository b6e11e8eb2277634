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

INSTANTIATE_TEST_SUITE_P(
    Texts, WholeNumber,
    testing::Values(
        NumberText{"Zero", "0", true}, NumberText{"NegativeZero", "-0", true},
        NumberText{"PlusSign", "+50", true}, NumberText{"Hex", "0x1F", true},
        NumberText{"HexUpperPrefix", "0XaB", true}, NumberText{"Octal", "017", true},
        NumberText{"OctalWithEight", "08", false}, NumberText{"BarePrefix", "0x", false},
        NumberText{"SignAfterPrefix", "0x-1", false}, NumberText{"SignAlone", "+", false},
        NumberText{"Empty", "", false}, NumberText{"LeadingBlank", " 5", false},
        NumberText{"TrailingBlank", "5 ", false}, NumberText{"TrailingLetter", "5x", false},
        NumberText{"Decimal", "44.1k", false}, NumberText{"Exponent", "1e3", false},
        NumberText{"TwoSigns", "--5", false}, NumberText{"Word", "abc", false}),
    tavo_test::RowName());

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

// A long-form argument no option took, and the line that refuses it.
struct Misspelt {
    const char* name;
    const char* argument;
    bool converter;  // tavo2wav (its long options and one-letter spellings), else tavoinfo
    const char* line;
};

class UnknownLongOption : public testing::TestWithParam<Misspelt> {};

TEST_P(UnknownLongOption, SuggestsTheNearestOrTheLetter)
{
    const Misspelt& m = GetParam();
    const std::vector<std::string> known =
        m.converter ? tavo::cli::option_names(tavo::cli::converter_long_options())
                    : std::vector<std::string>{"audio",     "help",      "json",   "plot",
                                               "plot-freq", "plot-size", "version"};
    EXPECT_EQ(tavo::cli::unknown_option_line(m.argument, known, m.converter), m.line);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, UnknownLongOption,
    testing::Values(
        Misspelt{"OneEditAway", "--resampeler", true,
                 "Error: unknown option --resampeler (did you mean --resampler?)\n"},
        Misspelt{"TwoEditsAway", "---timelin", true,
                 "Error: unknown option ---timelin (did you mean --timeline?)\n"},
        Misspelt{"TieGoesToTheFirstAlphabetically", "--heps", true,
                 "Error: unknown option --heps (did you mean --gaps?)\n"},
        Misspelt{"ThreeEditsAwayGetsNone", "--colour", true, "Error: unknown option --colour\n"},
        Misspelt{"ValueGivenGetsNoNearest", "--resampeler=sinc", true,
                 "Error: unknown option --resampeler=sinc\n"},
        Misspelt{"LetterWithValue", "--upsample=50", true,
                 "Error: unknown option --upsample=50 (did you mean -u 50?)\n"},
        Misspelt{"LetterWithoutValue", "--upsampling", true,
                 "Error: unknown option --upsampling (did you mean -u?)\n"},
        Misspelt{"RateLetter", "--rate=1", true,
                 "Error: unknown option --rate=1 (did you mean -r 1?)\n"},
        Misspelt{"GainLetter", "--gain", true, "Error: unknown option --gain (did you mean -z?)\n"},
        Misspelt{"OffsetRemovalLetter", "--no-offset-removal", true,
                 "Error: unknown option --no-offset-removal (did you mean -o?)\n"},
        Misspelt{"FilterIsNoLetter", "--filter", true, "Error: unknown option --filter\n"},
        Misspelt{"LettersOnlyForTheConverter", "--upsample=50", false,
                 "Error: unknown option --upsample=50\n"},
        Misspelt{"InspectorTie", "--jot", false,
                 "Error: unknown option --jot (did you mean --json?)\n"}),
    tavo_test::RowName());

}  // namespace
