// Pieces both transfers share.
#pragma once

#include "platform/Internet.h"

// Closes the session however the call ends (a failure that goes to the error wrapper too).
// REQUIRES: session outlives the closer.
struct SessionCloser {
    CInternetSession& session;
    ~SessionCloser() { session.Close(); }
};
