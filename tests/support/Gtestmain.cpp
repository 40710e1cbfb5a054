#include <gtest/gtest.h>

#include "Fpu.h"

using namespace quillon;

// The tests' own main where a thread may start below full x87 precision.
int main(int argc, char **argv)
{
    quillon::UseExtendedPrecision();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
