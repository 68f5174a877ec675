#pragma once

// A test that reads other programs' files where they are: VELMORA_FIXTURES
// is its folder of them (see velmora_add_test's FIXTURES). Without that
// folder the test runs nothing and exits with 77, which ctest reports as
// skipped, never as passed.
#include <QCoreApplication>
#include <QFileInfo>
#include <QtTest>
#include <cstdio>

inline QString FixturesDir()
{
    return QStringLiteral(VELMORA_FIXTURES);
}

#define VELMORA_FIXTURES_MAIN(TestClass)                                                                                                   \
    int main(int argc, char **argv)                                                                                                        \
    {                                                                                                                                      \
        QCoreApplication app(argc, argv);                                                                                                  \
        if (!QFileInfo(FixturesDir()).isDir()) {                                                                                           \
            std::fprintf(stderr, "skipped: %s is not there (VELMORA_FIXTURES_DIR)\n", VELMORA_FIXTURES);                                   \
            return 77;                                                                                                                     \
        }                                                                                                                                  \
        TestClass test;                                                                                                                    \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                                         \
        return QTest::qExec(&test, argc, argv);                                                                                            \
    }
