// Seams the window suites share: the real logic
// with hooks for commands and timers.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fake/NoInternet.h"
#include "platform/Exceptions.h"
#include "platform/Internet.h"
#include "window/PomvexDlg.h"

// The real logic, with seams for tests: commands can be recorded instead of run, timer ids
// from 90 up go to a test function (under the error wrapper, as every timer does), and every
// firing can be watched before the logic handles it.
class TestDlg : public CPomvexDlg {
  public:
    TestDlg(Host& host, InternetClient& internet) : CPomvexDlg(host, internet) {}
    void OnCommand(int id, bool fromMenu) override {
        if (recordCommands)
            commands.push_back({id, fromMenu});
        else
            CPomvexDlg::OnCommand(id, fromMenu);
    }
    void OnTimerEvent(unsigned id) override {
        if (onTimerSeen) onTimerSeen(id);
        if (id >= 90 && onTestTimer)
            RunGuarded([&] { onTestTimer(id); }, false);
        else
            CPomvexDlg::OnTimerEvent(id);
    }
    bool recordCommands = false;
    std::vector<std::pair<int, bool>> commands;
    std::function<void(unsigned)> onTestTimer;
    std::function<void(unsigned)> onTimerSeen;
};
