// Shared set-up of the list-editing suites: a fresh program folder per test and a main window
// on the fake host.
#pragma once

#include <ftw.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "fake/FakeHost.h"
#include "fake/NoInternet.h"
#include "window/PomvexDlg.h"

namespace lists_test {

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// POMVEX_HOME points at a temporary folder that lives as long as the fixture.
class ListsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/pomvex-lists-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_home = tmpl;
        setenv("POMVEX_HOME", m_home.c_str(), 1);
        dlg = std::make_unique<CPomvexDlg>(host, internet);
    }
    void TearDown() override {
        dlg.reset();
        nftw(
            m_home.c_str(),
            [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 16,
            FTW_DEPTH | FTW_PHYS);
        unsetenv("POMVEX_HOME");
    }
    std::string InHome(const std::string& name) const { return m_home + "/" + name; }

    FakeHost host;
    NoInternet internet{true};
    std::unique_ptr<CPomvexDlg> dlg;

  private:
    std::string m_home;
};

}  // namespace lists_test
