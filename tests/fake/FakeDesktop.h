// A Desktop for logic tests: records every call in order and checks the one-lock rule.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Desktop.h"

class FakeDesktop : public Desktop {
  public:
    void HoldSleepLock(const std::string& why) override {
        EXPECT_FALSE(held) << "a second sleep lock was asked for while one was held";
        held = true;
        calls.push_back("hold " + why);
    }
    void ReleaseSleepLock() override {
        EXPECT_TRUE(held) << "a sleep lock was released while none was held";
        held = false;
        calls.push_back("release");
    }
    void Notify(const std::string& title, const std::string& body) override {
        calls.push_back("notify " + title + " / " + body);
    }

    void RequestPower(PowerAction action,
                      std::function<void(bool, const std::string&)> done) override {
        calls.push_back(action == PowerAction::Suspend ? "suspend" : "poweroff");
        done(powerTaken, powerTaken ? std::string() : "refused");
    }

    bool held = false;
    bool powerTaken = true;  // how the system answers RequestPower
    // "hold <why>", "release", "notify <title> / <body>" (CP932), "suspend", "poweroff"
    std::vector<std::string> calls;
};
