// An internet client for suites that never go online: every session fails to open. Where going
// online would be a fault of the test, `unexpected` makes the attempt fail the running test.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/Exceptions.h"
#include "platform/Internet.h"

class NoInternet : public InternetClient {
  public:
    explicit NoInternet(bool unexpected = false) : m_unexpected(unexpected) {}
    std::unique_ptr<CInternetSession> OpenSession(const SessionOptions&) override {
        if (m_unexpected) ADD_FAILURE() << "the test opened an internet session";
        throw CInternetException(0, "");
    }

  private:
    bool m_unexpected;
};
