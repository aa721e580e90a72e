// Entry point of the GUI suites: the tests run against real windows on a private X server.
// Listing the tests (as CTest's discovery does) needs no display.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <string>

#include "x_server.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    XServer x;
    std::string error;
    if (!x.start(&error)) {
        std::fprintf(stderr, "GUI tests: %s\n", error.c_str());
        return 1;
    }
    int result;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
