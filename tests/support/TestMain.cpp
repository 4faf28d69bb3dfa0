// Test entry of the engine suites.

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // The tests expect the Japanese source texts, whatever language the shell running them is in.
#ifdef _WIN32
    ::_putenv_s("LC_ALL", "");
    ::_putenv_s("LC_MESSAGES", "");
    ::_putenv_s("LANG", "C");
#else
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", "C", 1);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
