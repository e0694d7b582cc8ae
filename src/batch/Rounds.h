// Further rounds of a download batch. A night's list should end with every file that could be
// had, and a reset at 01:00 or a busy server passes: so a download batch that reaches its empty
// entry goes over the URLs whose failure may pass once more, at most twice, after a wait that
// gives the server its time. What will not pass by itself (a 404, a file of 1 KB or less, a file
// that cannot be created, a job the user let go with NEXT or 中止) is never asked again.
#pragma once

#include <cstdint>

#include "transfer/JobOutcome.h"

namespace batch {

// Further rounds after the first pass, at most.
inline constexpr int32_t kMaxRounds = 2;
// The wait before a round, and its bound when a server asks for longer (Retry-After).
inline constexpr uint32_t kRoundWaitS = 60;
inline constexpr uint32_t kRoundWaitMaxS = 600;

// Whether a job that ended with `outcome` and `failure` goes again in the next round; `letGo`:
// the user moved the batch past it with NEXT.
bool GoesAgain(JobOutcome outcome, const JobFailure& failure, bool letGo);

// The wait in seconds before a round whose failures asked for at most `retryAfterS` (0: none).
uint32_t RoundWaitS(uint32_t retryAfterS);

}  // namespace batch
