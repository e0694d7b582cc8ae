// The rounds of a download batch (batch/Rounds.h): which jobs go again, the wait before a round,
// and how the sequencer's cursor walks a round. A round is the first pass again over fewer slots:
// the tick starts its jobs one by one, with the watchdog, NEXT, 中止 and the deadline as always;
// only the slots that do not go again are stepped over.
#include "batch/Rounds.h"

#include <algorithm>
#include <string>

#include "resources/Resource.h"
#include "resources/Strings.h"
#include "ui/PomvexDlg.h"

namespace batch {

bool GoesAgain(JobOutcome outcome, const JobFailure& failure, bool letGo) {
    return outcome != JobOutcome::None && !CountsAsDone(outcome) && failure.mayPass && !letGo;
}

uint32_t RoundWaitS(uint32_t retryAfterS) {
    return std::clamp(retryAfterS, kRoundWaitS, kRoundWaitMaxS);
}

}  // namespace batch

void CPomvexDlg::ResetRounds() {
    m_nRound = 0;
    m_nRoundWait = 0;
    m_bGoesAgain.fill(0);
    m_bLetGo.fill(0);
}

bool CPomvexDlg::RoundFollows(int runningSlot, const JobFailure& running) const {
    if (!m_bDownloadMode || m_nRound >= batch::kMaxRounds) return false;
    if (running.mayPass) return true;
    for (size_t slot = 1; slot < m_strJobs.size() && !m_strJobs[slot].empty(); ++slot)
        if (static_cast<int>(slot) != runningSlot &&
            batch::GoesAgain(m_jobOutcomes[slot], m_jobFailures[slot], m_bLetGo[slot]))
            return true;
    return false;
}

bool CPomvexDlg::BeginRoundWait() {
    if (!m_bDownloadMode || m_nRound >= batch::kMaxRounds) return false;
    int count = 0;
    uint32_t retryAfter = 0;
    for (size_t slot = 1; slot < m_strJobs.size() && !m_strJobs[slot].empty(); ++slot) {
        const bool again =
            batch::GoesAgain(m_jobOutcomes[slot], m_jobFailures[slot], m_bLetGo[slot]);
        m_bGoesAgain[slot] = again ? 1 : 0;
        if (!again) continue;
        ++count;
        retryAfter = std::max(retryAfter, m_jobFailures[slot].retryAfterS);
    }
    if (count == 0) return false;
    ++m_nRound;
    const uint32_t wait = batch::RoundWaitS(retryAfter);
    m_nRoundWait = static_cast<int32_t>(wait);
    // The last job's watchdog has nothing left to release; each job of the round arms its own.
    m_host.KillTimer(TIMER_WATCHDOG);
    m_strLog += FormatStr(Sid::LogRoundStart, {m_strClock, std::to_string(wait),
                                               std::to_string(m_nRound), std::to_string(count)});
    m_host.SetDlgItemText(IDC_LOG, m_strLog);
    return true;
}

void CPomvexDlg::TickRoundWait() {
    if (m_nRoundWait == 0) return;
    // Counted in ticks, not by the wall clock, so a clock set back does not hold the night.
    // NEXT (ready raised) ends the wait at once, as it moves a waiting batch on.
    if (m_bReady != 1 && --m_nRoundWait > 0) return;
    m_nRoundWait = 0;
    m_nCursor = 1;
    m_bReady = 1;
}

void CPomvexDlg::SkipToRoundSlot() {
    if (m_nRound == 0) return;
    while (m_nCursor < static_cast<int32_t>(m_strJobs.size()) &&
           !m_strJobs[static_cast<size_t>(m_nCursor)].empty() &&
           !m_bGoesAgain[static_cast<size_t>(m_nCursor)])
        ++m_nCursor;
}

void CPomvexDlg::LetGoOfWaitingJob() {
    // Only a job that holds the batch (ready 0, no round wait) is the one NEXT moves past.
    if (m_nCursor > 1 && m_bReady == 0 && m_nRoundWait == 0)
        m_bLetGo[static_cast<size_t>(m_nCursor - 1)] = 1;
}
