// One running copy per program folder. Two copies on one folder would each rewrite Pomvex.PVX and
// Pomvex.log, the second over the first one's night, and each would find the other's download
// locked. So the running copy holds an flock on Pomvex.lock in the program folder; the system
// drops it when the process ends however it ends, so a crash leaves no stale lock behind. A copy
// started with another POMVEX_HOME locks another file and runs beside it.
#pragma once

#include <string>

class ProgramLock {
  public:
    enum class State {
        held,           // this copy runs the folder
        heldElsewhere,  // another copy runs it: this one must not start
        unavailable,    // no lock file can be had (a read-only folder): run unlocked
    };

    // Makes the program folder (one level, as the start-up does, readable by the user only) and
    // takes the lock without waiting. Never throws.
    ProgramLock();
    // Lets the lock go.
    ~ProgramLock();
    ProgramLock(const ProgramLock&) = delete;
    ProgramLock& operator=(const ProgramLock&) = delete;

    State state() const { return m_state; }
    // The program folder the lock is for, as the system names it.
    const std::string& folder() const { return m_folder; }

  private:
    std::string m_folder;
    int m_fd = -1;  // the lock file, open while held; owned
    State m_state = State::unavailable;
};
