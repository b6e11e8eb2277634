// Feeds arbitrary file contents, plain or gzip-compressed, through file-kind
// detection and the whole record stream of the reader it returns.
//
// Input layout: byte 0 chooses how the rest, the file's contents, is stored
// and read: bit 0 gzip-compressed (else as it is), bit 1 without look-ahead
// (concat false), bit 2 starting as an old-style file (FT_OLD).
#include <cstdint>
#include <memory>

#include "harness.h"
#include <zeltra/zeltra.h>

namespace {

using tavo_fuzz::check;
using Zeltra::ZELTRA;

// Pulls every record, checking what the reader promises about each one.
void drain(ZELTRA& reader)
{
    // Records of one file are bounded by its size; the limit only stops a
    // reader that would deliver records forever.
    for (long n = 0; reader.getdata() != -1; ++n) {
        check(n < (1L << 20), "reader never reaches the end of the data");
        check(reader.get_length() == 128 || reader.get_length() == 512,
              "record length neither 128 nor 512");
        for (const auto& channel : reader.current)
            check(channel.size() == 2 * ZELTRA::Max, "record buffer was resized");
        (void)reader.get_tavotime(0);
    }
    // A binary file ends for good; a text reader stopped by a malformed
    // record may go on with the lines after it.
    check(!reader.is_binary() || reader.getdata() == -1, "a record after the end of the data");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    tavo_fuzz::write_data(std::string(reinterpret_cast<const char*>(data) + 1, size - 1),
                          data[0] & 1);
    const bool concat = (data[0] & 2) == 0;
    const auto filetype = (data[0] & 4) ? ZELTRA::FT_OLD : ZELTRA::FT_NEW;
    tavo_fuzz::run_checked(true, [&] {
        const std::unique_ptr<ZELTRA> reader(
            Zeltra::detect(tavo_fuzz::data_path().c_str(), concat, filetype, false));
        drain(*reader);
    });
    return 0;
}
