// Shared set-up of the list-editing suites: a fresh program folder per test and a main window
// on the fake host.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fake/FakeHost.h"
#include "fake/NoInternet.h"
#include "fake/TestFolders.h"
#include "window/PomvexDlg.h"

namespace lists_test {

inline std::string ReadAll(const std::string& path) {
    return ReadFileBytes(path).value_or("");
}
inline void WriteAll(const std::string& path, const std::string& bytes) {
    WriteFileBytes(path, bytes);
}

// A fresh program folder and a main window on the fake host, for each test.
class ListsTest : public ::testing::Test {
  protected:
    void SetUp() override { dlg = std::make_unique<CPomvexDlg>(host, internet); }
    void TearDown() override { dlg.reset(); }
    std::string InHome(const std::string& name) const { return m_home / name; }

    FakeHost host;
    NoInternet internet{true};
    std::unique_ptr<CPomvexDlg> dlg;

  private:
    TempHome m_home;
};

}  // namespace lists_test
