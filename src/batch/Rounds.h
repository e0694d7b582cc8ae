// Further rounds of a download batch. A night's list should end with every file that could be
// had, and a reset at 01:00 or a busy server passes: so a download batch that reaches its empty
// entry goes over the URLs whose failure may pass once more, at most twice, after a wait that
// gives the server its time. What will not pass by itself (a 404, a file of 1 KB or less, a file
// that cannot be created, a job the user let go with NEXT or 中止) is never asked again.
// A round is the first pass again over fewer slots: the tick starts its jobs one by one, with the
// watchdog, NEXT, 中止 and the deadline as always; only the slots that do not go again are
// stepped over.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "batch/JobTable.h"
#include "batch/Tally.h"
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

class Rounds {
  public:
    // A round about to start: its number, the jobs in it and the wait before it.
    struct Start {
        int32_t round = 0;
        int count = 0;
        uint32_t waitS = 0;
    };

    // A new job table: the first pass, nothing let go.
    void Reset();
    // The batch has reached its empty entry: when rounds are left and jobs go again, marks them
    // and starts the wait (its Start returned). nullopt: the batch ends here.
    // REQUIRES: a download batch.
    std::optional<Start> Begin(const JobTable& jobs, const Tally& tally);
    // One tick of a running batch, `ready` as the tick found it: counts the wait down. True when
    // the round is due now (from slot 1); NEXT (ready) ends the wait at once.
    bool TickWait(bool ready);
    // The first slot from `cursor` on that a round runs (the empty entry at most); `cursor`
    // itself in the first pass.
    int NextSlot(const JobTable& jobs, int cursor) const;
    // Whether the batch will go on with a round after its empty entry, with the job in
    // `runningSlot` ending with `running` (its outcome not recorded yet).
    // REQUIRES: a download batch.
    bool Follows(const JobTable& jobs, const Tally& tally, int runningSlot,
                 const JobFailure& running) const;
    // NEXT while the job before `cursor` holds the batch: that job goes in no further round.
    void LetGo(int slot) { m_bLetGo[static_cast<size_t>(slot)] = 1; }

    int32_t Round() const { return m_nRound; }
    bool Waiting() const { return m_nRoundWait != 0; }

  private:
    int32_t m_nRound = 0;      // 0: the first pass; else the round run or awaited
    int32_t m_nRoundWait = 0;  // ticks until that round starts; 0: no wait
    std::array<uint8_t, JobTable::kSlots> m_bGoesAgain{};  // by slot: 1 when in round m_nRound
    std::array<uint8_t, JobTable::kSlots> m_bLetGo{};      // by slot: 1 when NEXT moved past it
};
