#include "base/utils/FileOutput.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string describe(const char* what, const std::string& fileName, int error) {
    return std::string(what) + " '" + fileName + "': " + std::strerror(error);
}

// The path whose directory entry a rename must replace: a symbolic link's final target, so
// that the link itself stays.
std::string resolvedPath(const std::string& fileName) {
    char resolved[PATH_MAX];
    if (realpath(fileName.c_str(), resolved) != nullptr)
        return resolved;
    return fileName;
}

} // namespace

FileOutput::~FileOutput() {
    abandon();
}

bool FileOutput::open(const std::string& fileName) {
    abandon();
    m_fileName = fileName;
    if (fileName == "-") {
        m_fd = STDOUT_FILENO;
        return true;
    }
    struct stat status;
    if (::stat(fileName.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        m_fd = ::open(fileName.c_str(), O_WRONLY | O_CLOEXEC);
        m_ownsFd = m_fd >= 0;
    } else {
        // A name of our own beside the target, so that the rename stays within its file
        // system; the mode is left to the umask as for any new file.
        static std::atomic<unsigned> s_counter{0};
        m_target = resolvedPath(fileName);
        for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
            m_tempName = m_target + ".tmp" + std::to_string(getpid()) + "-" +
                         std::to_string(s_counter.fetch_add(1));
            m_fd = ::open(m_tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd < 0 && errno != EEXIST)
                break;
        }
        m_ownsFd = m_fd >= 0;
        if (m_fd < 0)
            m_tempName.clear();
    }
    if (m_fd < 0) {
        setError("Could not open output file '" + fileName +
                 "' for writing: " + std::strerror(errno));
        return false;
    }
    return true;
}

bool FileOutput::writeBlock(std::string_view block) {
    if (m_fd < 0) {
        setError("Output file '" + m_fileName + "' is not open");
        return false;
    }
    while (!block.empty()) {
        const ssize_t written = ::write(m_fd, block.data(), block.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            setError(
                describe("Could not write output file", m_fileName, written < 0 ? errno : EIO));
            discardBuffer();
            return false;
        }
        block.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

bool FileOutput::commit() {
    if (m_fd < 0)
        return false;
    bool ok = flush();
    if (ok && m_ownsFd) {
        const int fd = m_fd;
        m_fd = -1;
        m_ownsFd = false;
        if (::close(fd) != 0) {
            setError(describe("Could not write output file", m_fileName, errno));
            ok = false;
        } else if (!m_tempName.empty() && std::rename(m_tempName.c_str(), m_target.c_str()) != 0) {
            setError(describe("Could not write output file", m_fileName, errno));
            ok = false;
        } else {
            m_tempName.clear();
        }
    }
    abandon();
    return ok;
}

void FileOutput::abandon() {
    if (m_ownsFd)
        ::close(m_fd);
    m_fd = -1;
    m_ownsFd = false;
    if (!m_tempName.empty())
        ::unlink(m_tempName.c_str());
    m_tempName.clear();
}
