#include "platform/ProgramLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Paths.h"

namespace {

constexpr const char* kLockFileName = "Pomvex.lock";

}  // namespace

ProgramLock::ProgramLock() : m_folder(paths::ProgramFolderOnSystem()) {
    ::mkdir(m_folder.c_str(), 0700);  // the user's own: see paths::ProgramFolderProblem
    const std::string path = m_folder + "/" + kLockFileName;
    // Close-on-exec: a program this one starts must not hold the folder after it ends.
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (m_fd < 0) return;
    int rc;
    do {
        rc = ::flock(m_fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        m_state = State::held;
        return;
    }
    m_state = errno == EWOULDBLOCK ? State::heldElsewhere : State::unavailable;
    ::close(m_fd);
    m_fd = -1;
}

ProgramLock::~ProgramLock() {
    if (m_fd >= 0) ::close(m_fd);
}
