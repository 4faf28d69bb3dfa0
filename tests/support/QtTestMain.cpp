// Test entry for suites that need a QApplication; windows are drawn off screen.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The tests expect the Japanese source texts, whatever language the shell running them is in.
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", "C", 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Stowra"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
