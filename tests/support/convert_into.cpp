#include "convert_into.h"

#include <stdexcept>

#include "cli/options.h"
#include "stagewise.h"
#include "tavo_writer.h"

namespace tavo_test {

void Said::text(tavo::Message kind, const std::string& t)
{
    std::lock_guard<std::mutex> lock(mutex_);
    (kind == tavo::Message::PROGRESS ? out : err) += t;
    if (kind == tavo::Message::ERROR)
        error += t;
}

bool Said::progress(const tavo::Progress& p)
{
    return p.end || stop_after < 0 || reports_++ < stop_after;
}

bool Captured::begin(const tavo::AudioFile& f, std::string&)
{
    files.push_back(f);
    bytes.emplace_back();
    return true;
}

bool Captured::write(int i, const void* samples, std::size_t frames, std::string&)
{
    const tavo::AudioFile& f = files[i];
    const std::size_t size = f.format == tavo::SampleFormat::S16 ? 2 : 4;
    bytes[i].append(static_cast<const char*>(samples), frames * f.channels * size);
    return true;
}

namespace {

std::string masked(std::string text, const std::string& folder)
{
    for (auto at = text.find(folder); at != std::string::npos; at = text.find(folder, at))
        text.replace(at, folder.size(), "OUT");
    return text;
}

}  // namespace

tavo::Options options(const std::string& words)
{
    const tavo::cli::OptionWords read = tavo::cli::read_option_words(words);
    if (!read.refusal.empty())
        throw std::invalid_argument(read.refusal);
    return read.options;
}

Converted convert_into(const std::vector<std::string>& inputs, tavo::Options options,
                       bool stagewise)
{
    const TempDir folder;
    options.output_dir = folder.path();
    Said said;
    Converted c;
    c.result =
        stagewise ? convert_stagewise(options, inputs, said) : tavo::convert(inputs, options, said);
    c.out = masked(said.out, folder.path());
    c.err = masked(said.err, folder.path());
    for (const std::string& name : listing(folder.path()))
        c.files[name] = read_bytes(folder.file(name));
    return c;
}

}  // namespace tavo_test
