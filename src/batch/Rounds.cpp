#include "batch/Rounds.h"

#include <algorithm>

namespace batch {

bool GoesAgain(JobOutcome outcome, const JobFailure& failure, bool letGo) {
    return outcome != JobOutcome::None && !CountsAsDone(outcome) && failure.mayPass && !letGo;
}

uint32_t RoundWaitS(uint32_t retryAfterS) {
    return std::clamp(retryAfterS, kRoundWaitS, kRoundWaitMaxS);
}

}  // namespace batch

void Rounds::Reset() {
    m_nRound = 0;
    m_nRoundWait = 0;
    m_bGoesAgain.fill(0);
    m_bLetGo.fill(0);
}

bool Rounds::Follows(const JobTable& jobs, const Tally& tally, int runningSlot,
                     const JobFailure& running) const {
    if (m_nRound >= batch::kMaxRounds) return false;
    if (running.mayPass) return true;
    for (int slot = 1; !jobs.IsEnd(slot); ++slot)
        if (slot != runningSlot && batch::GoesAgain(tally.Outcome(slot), tally.Failure(slot),
                                                    m_bLetGo[static_cast<size_t>(slot)]))
            return true;
    return false;
}

std::optional<Rounds::Start> Rounds::Begin(const JobTable& jobs, const Tally& tally) {
    if (m_nRound >= batch::kMaxRounds) return std::nullopt;
    int count = 0;
    uint32_t retryAfter = 0;
    for (int slot = 1; !jobs.IsEnd(slot); ++slot) {
        const auto i = static_cast<size_t>(slot);
        const bool again = batch::GoesAgain(tally.Outcome(slot), tally.Failure(slot), m_bLetGo[i]);
        m_bGoesAgain[i] = again ? 1 : 0;
        if (!again) continue;
        ++count;
        retryAfter = std::max(retryAfter, tally.Failure(slot).retryAfterS);
    }
    if (count == 0) return std::nullopt;
    ++m_nRound;
    const uint32_t wait = batch::RoundWaitS(retryAfter);
    m_nRoundWait = static_cast<int32_t>(wait);
    return Start{m_nRound, count, wait};
}

bool Rounds::TickWait(bool ready) {
    if (m_nRoundWait == 0) return false;
    // Counted in ticks, not by the wall clock, so a clock set back does not hold the night.
    if (!ready && --m_nRoundWait > 0) return false;
    m_nRoundWait = 0;
    return true;
}

int Rounds::NextSlot(const JobTable& jobs, int cursor) const {
    if (m_nRound == 0) return cursor;
    while (!jobs.IsEnd(cursor) && !m_bGoesAgain[static_cast<size_t>(cursor)]) ++cursor;
    return cursor;
}
