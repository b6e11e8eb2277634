// Error printer: prefix, formatting, and the flush that keeps the program's
// earlier output in front of the error text.
#include "libkemra.h"
#include "kemra_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

TEST(ErrorPrinter, PrefixesFileAndLine)
{
    testing::internal::CaptureStderr();
    err__printf("src/x.cpp", 42, "%s has %d items\n", "list", 3);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: src/x.cpp(42) list has 3 items\n");
}

TEST(ErrorPrinter, AddsNoLineEndOfItsOwn)
{
    testing::internal::CaptureStderr();
    err__printf("a.cpp", 1, "no end");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: a.cpp(1) no end");
}

// With both streams on one file, text still waiting in the standard output
// buffer must come out before the error.
TEST(ErrorPrinterDeathTest, FlushesStandardOutputFirst)
{
    kemra_test::TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string name = dir.file("both.txt");
    EXPECT_EXIT(
        {
            const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
            std::setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
            std::printf("pending ");
            err__printf("f.cpp", 7, "late\n");
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), testing::_);
    EXPECT_EQ(kemra_test::read_file(name), "pending Error: f.cpp(7) late\n");
}

} // namespace
