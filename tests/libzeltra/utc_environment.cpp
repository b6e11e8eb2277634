// Puts every test process in UTC before the first reader exists, so the
// reader's one-time "WARNING: setting TZ=UTC" line appears only in the test
// that asks for it.
#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

namespace {

class UtcEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

const auto* const kUtc = ::testing::AddGlobalTestEnvironment(new UtcEnvironment);

}  // namespace
