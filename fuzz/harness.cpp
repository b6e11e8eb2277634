// Shared pieces of the fuzz targets.
#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <kemra/libkemra.h>
#include <zeltra/zeltra.h>

#include "tavo_writer.h"

namespace tavo_fuzz {

namespace {

// The lowest descriptor number that is free now.
int lowest_free_fd()
{
    const std::unique_ptr<FILE, int (*)(FILE*)> probe(std::fopen("/dev/null", "r"), std::fclose);
    return probe ? fileno(probe.get()) : -1;
}

}  // namespace

void check(bool ok, const std::string& what)
{
    if (ok)
        return;
    std::fprintf(stderr, "finding: %s\n", what.c_str());
    std::abort();
}

const std::string& data_path()
{
    static const tavo_test::TempDir dir;
    static const std::string path = tavo_test::dated_path(dir.path(), 'k', 2014, 3, 15, 16);
    return path;
}

void write_data(const std::string& bytes, bool gzip)
{
    const std::string plain = gzip ? data_path() + ".in" : data_path();
    tavo_test::write_bytes(plain, bytes);
    if (gzip)
        tavo_test::gzip_copy(plain, data_path());
}

// Descriptors are compared around one input only: libFuzzer itself may open
// some between inputs (its symbolizer's pipes).
void run_checked(bool fatal_allowed, const std::function<void()>& body)
{
    const int lowest_free = lowest_free_fd();
    const auto fatal = [fatal_allowed](int status) {
        check(status == 1 && fatal_allowed, "fatal exit with status " + std::to_string(status));
    };
    try {
        body();
    } catch (const Zeltra::Error& e) {
        fatal(e.status());
    } catch (const Kemra::Error& e) {
        fatal(e.status());
    }
    check(lowest_free_fd() == lowest_free,
          "descriptor " + std::to_string(lowest_free) + " left open");
}

}  // namespace tavo_fuzz
