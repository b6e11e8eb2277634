#include "output.h"

#include <algorithm>
#include <thread>
#include <vector>

#include <kemra/libkemra.h>
#include "ordered_chunks.h"
#include "render.h"

namespace {

// Frames one worker renders at a time: large enough that starting a chunk
// (filling the filter's history) costs little, small enough to keep the
// memory bounded.
constexpr std::size_t CHUNK = 1 << 18;

}  // namespace

int output_files(wave_t layout)
{
    switch (layout) {
        case MONO:
        case STEREO:
            return 3;
        case SIX_CHANNEL:
            return 1;
    }
    return 0;
}

FileLayout file_layout(wave_t layout, int index)
{
    switch (layout) {
        case MONO:
            return {1, {index, -1, -1, -1, -1, -1}};
        case STEREO:
            return {2, {index, (index + 1) % 3, -1, -1, -1, -1}};
        default:
            // WAV channels 1, 3 and 5 carry the second, first and third input.
            return {6, {1, -1, 0, -1, 2, -1}};
    }
}

std::string output_name(wave_t layout, int index, const char* base, bool* fits)
{
    std::string name;
    if (layout == SIX_CHANNEL)
        name = std::string("6ch") + base;
    else
        name = std::string(1, "abcdef"[3 * (layout == STEREO) + index]) + (*base ? base + 1 : "");
    // The name is formed in a buffer of 256 bytes and joined with its
    // extension into one of 260.
    char path[260];
    *fits = name.size() < 256 && combine_path(path, nullptr, nullptr, name.c_str(), "wav") == 0;
    return name + ".wav";
}

namespace {

// One chunk of a file: frames [start, start + count) of each input channel
// the file uses, rendered by one worker.
struct Chunk {
    unsigned long long start = 0;
    std::size_t count = 0;
    std::vector<int16_t> samples[3];
    long clipped[3] = {0, 0, 0};
};

struct Job {
    const FileLayout& layout;
    const int16_t* const* data;
    long n;
    int u;
    bool filter;
    bool used[3];
};

void render_chunk(const Job& job, Chunk* chunk)
{
    for (long& c : chunk->clipped)
        c = 0;
    for (int c = 0; c < 3; c++) {
        if (!job.used[c] || chunk->count == 0)
            continue;
        ChannelStream s(job.data[c], job.n, job.u, job.filter, chunk->start);
        chunk->samples[c].resize(chunk->count);
        s.next(chunk->samples[c].data(), chunk->count);
        chunk->clipped[c] += s.clipped();
    }
}

// Interleaves a chunk into frames of the file's layout.
void interleave(const Job& job, const Chunk& chunk, std::vector<int16_t>* frames)
{
    const unsigned channels = job.layout.channels;
    frames->resize(chunk.count * channels);
    for (unsigned w = 0; w < channels; w++) {
        const int c = job.layout.source[w];
        int16_t* f = frames->data() + w;
        for (std::size_t i = 0; i < chunk.count; i++, f += channels)
            *f = c >= 0 ? chunk.samples[c][i] : 0;
    }
}

}  // namespace

unsigned default_render_threads()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return std::max(1u, std::min(cores, 8u));
}

bool render_file(WaveWriter& writer, const FileLayout& layout, const int16_t* const data[3], long n,
                 int u, bool filter, unsigned workers, ClipCount* clips, Progress* progress,
                 unsigned long long done_before)
{
    Job job{layout, data, n, u, filter, {false, false, false}};
    for (unsigned w = 0; w < layout.channels; w++)
        if (layout.source[w] >= 0)
            job.used[layout.source[w]] = true;
    const unsigned long long total = static_cast<unsigned long long>(n) * (u > 0 ? u : 1);
    const std::size_t chunks = static_cast<std::size_t>((total + CHUNK - 1) / CHUNK);
    long clipped[3] = {0, 0, 0};
    std::vector<int16_t> frames;
    auto render = [&](std::size_t i, Chunk& chunk) {
        chunk.start = static_cast<unsigned long long>(i) * CHUNK;
        chunk.count =
            static_cast<std::size_t>(std::min<unsigned long long>(CHUNK, total - chunk.start));
        render_chunk(job, &chunk);
    };
    auto write = [&](std::size_t, const Chunk& chunk) {
        interleave(job, chunk, &frames);
        if (!writer.write(frames.data(), chunk.count))
            return false;
        progress->update(done_before + chunk.start + chunk.count);
        for (int c = 0; c < 3; c++)
            clipped[c] += chunk.clipped[c];
        return true;
    };
    const bool ok = run_in_order<Chunk>(chunks, workers, render, write);
    for (int c = 0; c < 3; c++) {
        if (ok && job.used[c] && !clips->counted[c]) {
            clips->per_channel[c] = clipped[c];
            clips->counted[c] = true;
        }
    }
    return ok;
}

void count_remaining_clips(const int16_t* const data[3], long n, int u, bool filter,
                           ClipCount* clips)
{
    std::vector<int16_t> chunk(CHUNK);
    for (int c = 0; c < 3; c++) {
        if (clips->counted[c])
            continue;
        ChannelStream s(data[c], n, u, filter);
        while (s.next(chunk.data(), CHUNK) > 0) {
        }
        clips->per_channel[c] = s.clipped();
        clips->counted[c] = true;
    }
}
