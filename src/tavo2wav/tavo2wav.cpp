// tavo2wav: converts TAVO data files of a measuring station into WAV files.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <kemra/libkemra.h>

#include "cli.h"
#include "command_line.h"
#include "conversion.h"
#include "settings.h"

namespace {

// Rates accepted as they are, besides the codes 0 to 8.
const unsigned long KNOWN_RATES[] = {18, 4000, 5500, 6000, 7333, 8000, 11025, 22050, 44100, 48000};
const unsigned long RATE_CODES[] = {48000, 44100, 22050, 11025, 8000, 7333, 6000, 5500, 4000};

unsigned long map_rate(unsigned long r)
{
    if (r < sizeof RATE_CODES / sizeof RATE_CODES[0])
        return RATE_CODES[r];
    for (unsigned long known : KNOWN_RATES)
        if (r == known)
            return r;
    std::fflush(stdout);
    std::fprintf(stderr, "Unknown rate: %lu. Using default: 4000.\n", r);
    std::fflush(stderr);
    return 4000;
}

const char* program_name(const char* path)
{
    const char* cut = std::strrchr(path, '\\');
    if (!cut)
        cut = std::strrchr(path, '/');
    return cut ? cut + 1 : path;
}

// Prints the absolute path of the running executable.
int print_where()
{
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n < 0) {
        std::perror("tavo2wav: can't find the executable");
        return 1;
    }
    self[n] = '\0';
    std::printf("%s\n", self);
    return 0;
}

// Reads the options into the settings. The long options of the sound come
// first, so that their values are theirs even when they look like options
// (--speedup -6). A -r, -z or -u value that is not a whole number ends the
// process with its own line. Returns "" or the line that refuses the sound
// options.
std::string read_settings(int argc, char** argv)
{
    std::string error = read_sound_options(argc, argv, &sound);
    stereo = static_cast<wave_t>(get_option(argc, argv, "s", STEREO, stereo));
    stereo = static_cast<wave_t>(get_option(argc, argv, "m", MONO, stereo));
    stereo = static_cast<wave_t>(get_option(argc, argv, "6", SIX_CHANNEL, stereo));
    combine = get_option(argc, argv, "c", 1, combine);
    need_filter = get_option(argc, argv, "f", 0, need_filter);
    remove_offset = get_option(argc, argv, "o", 0, remove_offset);
    // A value that is not a whole number is refused before anything is
    // logged or printed; a refused rate is not looked up.
    tavo_cli::WholeNumberOptions numbers(argc, argv);
    if (numbers.read("r", [&] { get_option_ulong(argc, argv, "r", &rate, rate); }))
        rate = map_rate(rate);
    numbers.read("z", [&] { get_option_int(argc, argv, "z", &global_scale, global_scale); });
    bool upsample_given = false;
    numbers.read(
        "u", [&] { upsample_given = get_option_int(argc, argv, "u", &upsample, upsample) == 1; });
    numbers.exit_if_refused();
    if (error.empty())
        error = check_speedup_alone(sound, upsample_given);
    return error;
}

// Most render threads --threads accepts: far more than any machine needs,
// few enough that a typing slip cannot start thousands.
constexpr long MAX_THREADS = 256;

// Reads --threads N (0 or absent: one per core). Returns false, after
// saying why, for a value that is not a whole number from 0 to MAX_THREADS.
bool read_threads(int argc, char** argv)
{
    char* text = nullptr;
    if (!get_option_string(argc, argv, "threads", &text))
        return true;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (*text != '\0' && *end == '\0' && errno == 0 && n >= 0 && n <= MAX_THREADS) {
        render_threads = static_cast<unsigned>(n);
        return true;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "Error: --threads needs a whole number from 0 to %ld, not \"%s\"\n",
                 MAX_THREADS, text);
    return false;
}

// Reads --gaps join|silence and --timeline. Returns false, after saying
// why, for any other --gaps value.
bool read_timeline_options(int argc, char** argv)
{
    write_timeline = get_option(argc, argv, "timeline", 1, write_timeline);
    char* text = nullptr;
    if (!get_option_string(argc, argv, "gaps", &text))
        return true;
    if (std::strcmp(text, "join") == 0 || std::strcmp(text, "silence") == 0) {
        gap_policy = *text == 's' ? GAPS_SILENCE : GAPS_JOIN;
        return true;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "Error: --gaps needs join or silence, not \"%s\"\n", text);
    return false;
}

}  // namespace

void Usage(const char* path)
{
    std::printf("%s", Version);
    std::printf("\n\nUsage:%s", program_name(path));
    std::printf(
        " <file.ext> [-c][-s][-r#]\n"
        "\t-c         Combine files to one wav-file.\n"
        "\t-m         Mono\n"
        "\t-s         Stereo\n"
        "\t-6         6 channel wav\n"
        "\t-f         Filter off.\n"
        "\t-o         No offsetreduction.\n"
        "\t-u #       Upsampling, default=");
    std::printf("%d", upsample);
    std::printf(".\n\t-r #       Sample rate (");
    std::printf("%lu", rate);
    std::printf(
        " Hz).\n"
        "\t           0 = 48000 Hz\n"
        "\t           1 = 44100 Hz\n"
        "\t           2 = 22050 Hz\n"
        "\t           3 = 11025 Hz\n"
        "\t           4 =  8000 Hz\n"
        "\t           5 =  7333 Hz\n"
        "\t           6 =  6000 Hz\n"
        "\t           7 =  5500 Hz\n"
        "\t           8 =  4000 Hz\n"
        "\t-z #       Scale amplitude (default: automatic scaling).\n"
        "\t-where     show where the program is.\n"
        "\n"
        "\tGood defaults for -u & -r are '-u 50' & '-r 1' which will resample\n"
        "\tand produce a WAV-file which will play at 49 times the original.\n"
        "\n");
    std::printf("%s\n", Copyright);
    std::printf("%s\n", Bugs);
}

namespace {

int run(int argc, char** argv)
{
    global_scale = 0;
    if (tavo_cli::wants_help(argc, argv)) {
        Usage(argv[0]);
        std::exit(0);
    }
    if (tavo_cli::answered_version(argc, argv, "tavo2wav", TAVO2WAV_VERSION))
        return 0;
    if (get_option(argc, argv, "where", 1, 0))
        return print_where();

    const std::string refused = read_settings(argc, argv);
    if (!refused.empty()) {
        std::fflush(stdout);
        std::fputs(refused.c_str(), stderr);
        return 1;
    }
    if (!read_threads(argc, argv) || !read_timeline_options(argc, argv))
        return 1;
    logfile(argc, argv);
    clength = 512;

    std::printf("mode:%s\n", stereo != MONO ? "stereo" : "mono");
    if (combine)
        std::printf("Combining\n");
    std::printf("Rate: %lu\n", rate);

    tavo_files = tavo_cli::file_arguments(argc, argv);
    if (tavo_files.empty()) {
        std::fflush(stdout);
        std::fprintf(stderr, "Error: No files given\n\n");
        Usage(argv[0]);
        std::exit(1);
    }
    if (upsample < 0) {
        std::fflush(stdout);
        std::fprintf(stderr, "Error: upsampling factor must not be negative (-u %d)\n", upsample);
        std::exit(1);
    }
    tavo2wav(tavo_files);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    return tavo_cli::run_guarded([&] { return run(argc, argv); });
}
