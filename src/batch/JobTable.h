// The job table: the list box's lines as a batch runs them, read back from a staging file
// (Pomvex.PVX) rather than split in memory, so a batch runs exactly the lines a line reader finds
// on disk, and the file shows what the last batch loaded.
#pragma once

#include <array>
#include <string>

#include "platform/Host.h"

class JobTable {
  public:
    static constexpr int kMaxJobs = 100;
    static constexpr int kSlots = kMaxJobs + 2;  // slot 0 unused; slot 101 always empty

    // Writes `list` to the staging file and reads the table back from it. False, after a box
    // that says which step failed, when the file could not be written or opened: the table is
    // as it was. A read error after that leaves by throwing, with the table partly replaced.
    bool Load(Host& host, const std::string& list);

    // The URL in `slot`; empty past the last job (and for any slot outside 1..100).
    const std::string& operator[](int slot) const;
    // Whether a batch at `slot` has reached its end: the slot is empty or outside the table.
    bool IsEnd(int slot) const { return (*this)[slot].empty(); }

  private:
    std::array<std::string, kSlots> m_strJobs;  // slot 0 unused; first empty slot ends a batch
    std::string m_strLine;                      // line buffer of the load
};
