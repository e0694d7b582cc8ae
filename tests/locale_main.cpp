// The main of the GoogleTest suites. The program runs in the user's locale (the toolkit adopts
// it at start), so the suites do too: a suite run under LANG=ja_JP.UTF-8 then means something.
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
