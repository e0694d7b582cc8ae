// The progress window of one download as the copy loop drives it: a status line, a rate bar and
// a cancel button. The window layer implements it; a transfer makes one through the factory it
// is given, so nothing here knows the window.
#pragma once

#include <functional>
#include <memory>
#include <string>

class ProgressView {
  public:
    virtual ~ProgressView() = default;
    // Shows the window (the main window takes no input meanwhile). False when it could not be
    // created. REQUIRES: not created yet.
    virtual bool Create() = 0;
    // Sets the status line; harmless without a window.
    virtual void SetStatus(const std::string& text) = 0;
    // Pumps, moves the bar to `value` (clamped) and shows it; returns the previous position.
    virtual int SetPos(int value) = 0;
    // Pumps, then whether cancel was pressed since the last call (and clears that).
    virtual bool CheckCancelButton() = 0;
    // Whether the next SetPos or CheckCancelButton will serve the queue, and so show what was
    // set before it. Until then a text or a position set is seen by nobody. Never throws.
    virtual bool PumpDue() const { return true; }
    // Gives the main window its input back and closes the window. Also done by the destructor.
    virtual bool DestroyWindow() = 0;
};

// Makes the progress window of one download; never returns null.
using ProgressFactory = std::function<std::unique_ptr<ProgressView>()>;
