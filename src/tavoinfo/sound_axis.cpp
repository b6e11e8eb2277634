// tavoinfo --plot --audio: tavo2wav's timing options read from one string.
#include "sound_axis.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace tavoinfo {

namespace {

// tavo2wav's rate table.  Its notice goes to `notice` when given, and is
// printed as tavo2wav prints it otherwise.
unsigned long map_rate(long r, std::string* notice)
{
    const tavo::RateChoice choice = tavo::rate_of_code(static_cast<unsigned long>(r));
    if (notice != nullptr) {
        *notice += choice.notice;
    } else if (!choice.notice.empty()) {
        std::fflush(stdout);
        std::fputs(choice.notice.c_str(), stderr);
    }
    return choice.rate;
}

bool to_number(const std::string& text, long& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 0);
    return errno == 0 && *end == '\0';
}

std::vector<std::string> words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

bool refuse(std::string& why, const std::string& text)
{
    why = text;
    return false;
}

}  // namespace

double SoundTiming::seconds_per_sample() const
{
    return static_cast<double>(upsample > 0 ? upsample : 1) / static_cast<double>(rate);
}

bool parse_sound_options(const std::string& text, SoundTiming& timing, std::string& why,
                         std::string* notice)
{
    const std::vector<std::string> w = words(text);
    for (std::size_t i = 0; i < w.size(); ++i) {
        const std::size_t dashes = w[i].find_first_not_of('-');
        const std::size_t equals = w[i].find('=');
        const std::string name =
            dashes == 0 || dashes == std::string::npos ? "" : w[i].substr(dashes, equals - dashes);
        if (name == "c" || name == "s" || name == "m" || name == "6" || name == "f" ||
            name == "o") {
            if (equals != std::string::npos)
                return refuse(why, "'" + w[i] + "' takes no value");
            timing.combine = timing.combine || name == "c";
            continue;
        }
        if (name != "u" && name != "r" && name != "z")
            return refuse(why, "'" + w[i] + "' is not a tavo2wav option");
        std::string value;
        if (equals != std::string::npos)
            value = w[i].substr(equals + 1);
        else if (i + 1 < w.size())
            value = w[++i];
        long number = 0;
        if (!to_number(value, number))
            return refuse(why, "-" + name + " needs a number");
        if (name == "u" && number < 0)
            return refuse(why, "-u needs a factor of 0 or more");
        if (name == "u")
            timing.upsample = number;
        else if (name == "r")
            timing.rate = map_rate(number, notice);
    }
    return true;
}

}  // namespace tavoinfo
