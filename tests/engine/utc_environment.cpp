// Expected modification times are written for UTC; run every test in it,
// whatever zone the machine or the caller has.
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

namespace {

class UtcEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
};

[[maybe_unused]] ::testing::Environment* const kUtc =
    ::testing::AddGlobalTestEnvironment(new UtcEnvironment);

} // namespace
