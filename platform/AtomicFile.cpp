#include "platform/internal/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quorvel::platform::internal {

bool WriteFileAtomically(const std::string& path, const std::string& text, mode_t mode, bool keepExistingMode) {
    struct stat st {};
    if (keepExistingMode && ::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
    const std::string temp = path + ".tmp." + std::to_string(::getpid()) + "." +
                             std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id()));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) return false;
    std::size_t done = 0;
    bool ok = true;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(wrote);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

} // namespace quorvel::platform::internal
