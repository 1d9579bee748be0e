#include "core/file.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaleon {

namespace {

Error fileError(const std::string& what, int error)
{
    return Error { std::string(kFileErrorDomain), error, what + ": " + std::strerror(error) };
}

struct ScopedDescriptor {
    int descriptor;
    explicit ScopedDescriptor(int open)
        : descriptor(open)
    {
    }
    ScopedDescriptor(const ScopedDescriptor&) = delete;
    ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;
    ~ScopedDescriptor() { ::close(descriptor); }
};

Error tooLarge(const std::filesystem::path& path, size_t limit)
{
    return Error { std::string(kFileErrorDomain), EFBIG,
        "cannot read " + path.string() + ": larger than " + std::to_string(limit / (1024 * 1024)) + " MB" };
}

// The temporary files in progress, copied where a signal handler can read them whatever
// the owning threads do meanwhile.
struct TrackedFile {
    enum State { Free, Changing, Ready };
    std::atomic<int> state { Free };
    std::array<char, PATH_MAX> path {};
};
std::array<TrackedFile, 16> g_temporaryFiles;

void track(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return;
    for (auto& slot : g_temporaryFiles) {
        int expected = TrackedFile::Free;
        if (slot.state.compare_exchange_strong(expected, TrackedFile::Changing)) {
            std::copy(path.begin(), path.end(), slot.path.begin());
            slot.path[path.size()] = '\0';
            slot.state = TrackedFile::Ready;
            return;
        }
    }
}

// Called once the file is gone or renamed. Only the thread that tracked a path changes its
// slot again, so a slot that is ready can be read as it stands.
void untrack(const std::string& path)
{
    for (auto& slot : g_temporaryFiles) {
        if (slot.state == TrackedFile::Ready && path == slot.path.data()) {
            slot.state = TrackedFile::Free;
            return;
        }
    }
}

extern "C" void removeTemporaryFilesAndEnd(int signal)
{
    removeTemporaryFilesInProgress();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// The permissions a newly created file gets under the process's umask.
mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

Result<std::string> readFile(const std::filesystem::path& path, size_t limit)
{
    // Not blocking: a FIFO must not hang the reader before it is found not to be a file.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0)
        return fileError("cannot open " + path.string(), errno);
    const ScopedDescriptor closer { descriptor };
    struct stat status { };
    if (::fstat(descriptor, &status) != 0)
        return fileError("cannot read " + path.string(), errno);
    if (S_ISDIR(status.st_mode))
        return Error { std::string(kFileErrorDomain), EISDIR, "cannot read " + path.string() + ": it is a folder" };
    if (!S_ISREG(status.st_mode))
        return Error { std::string(kFileErrorDomain), EINVAL, "cannot read " + path.string() + ": not a regular file" };
    if (static_cast<std::uint64_t>(status.st_size) > limit)
        return tooLarge(path, limit);
    // One byte more than the file holds, so that the end is found without growing the text.
    std::string contents(static_cast<size_t>(status.st_size) + 1, '\0');
    size_t filled = 0;
    // The size may change while reading: read to the end, but never past the limit.
    for (;;) {
        if (filled == contents.size()) {
            if (contents.size() > limit)
                return tooLarge(path, limit);
            contents.resize(std::min(limit + 1, std::max<size_t>(4096, contents.size() * 2)));
        }
        const ssize_t n = ::read(descriptor, contents.data() + filled, contents.size() - filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fileError("cannot read " + path.string(), errno);
        if (n == 0)
            break;
        filled += static_cast<size_t>(n);
    }
    contents.resize(filled);
    return contents;
}

std::string fileVersion(const std::filesystem::path& path)
{
    std::string version = path.string();
    struct stat status { };
    if (::stat(path.c_str(), &status) == 0) {
        version += '\n' + std::to_string(status.st_size) + ' ' + std::to_string(status.st_mtim.tv_sec) + '.'
            + std::to_string(status.st_mtim.tv_nsec) + ' ' + std::to_string(status.st_ino);
    }
    return version;
}

Result<std::unique_ptr<AtomicFile>> AtomicFile::create(std::filesystem::path destination)
{
    std::string temporary = destination.string() + ".XXXXXX";
    const int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0)
        return fileError("cannot create a file beside " + destination.string(), errno);
    std::unique_ptr<AtomicFile> file(new AtomicFile(std::move(destination), std::move(temporary), descriptor));
    track(file->m_temporary.string());
    return file;
}

AtomicFile::~AtomicFile()
{
    discard();
}

Result<void> AtomicFile::write(std::span<const std::uint8_t> bytes)
{
    if (m_descriptor < 0)
        return fileError("cannot write " + m_temporary.string(), EBADF);
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fileError("cannot write " + m_destination.string(), errno);
        }
        bytes = bytes.subspan(static_cast<size_t>(written));
    }
    return {};
}

Result<void> AtomicFile::write(std::string_view text)
{
    return write({ reinterpret_cast<const std::uint8_t*>(text.data()), text.size() });
}

Result<void> AtomicFile::commit(Durability durability)
{
    if (m_descriptor < 0)
        return fileError("cannot write " + m_temporary.string(), EBADF);
    struct stat existing { };
    const mode_t mode = ::stat(m_destination.c_str(), &existing) == 0 ? existing.st_mode & 07777 : newFileMode();
    if (::fchmod(m_descriptor, mode) != 0 || (durability == Durability::Synced && ::fsync(m_descriptor) != 0)) {
        const int failure = errno;
        discard();
        return fileError("cannot write " + m_destination.string(), failure);
    }
    const int descriptor = std::exchange(m_descriptor, -1);
    if (::close(descriptor) != 0 || ::rename(m_temporary.c_str(), m_destination.c_str()) != 0) {
        const int failure = errno;
        discard();
        return fileError("cannot replace " + m_destination.string(), failure);
    }
    untrack(m_temporary.string());
    m_temporary.clear();
    if (durability == Durability::Unsynced)
        return {};
    // Make the rename itself durable.
    const auto folder = m_destination.has_parent_path() ? m_destination.parent_path() : std::filesystem::path(".");
    if (const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return {};
}

void AtomicFile::discard()
{
    if (m_descriptor >= 0)
        ::close(std::exchange(m_descriptor, -1));
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        untrack(m_temporary.string());
    }
    m_temporary.clear();
}

void failWritesPastTheFileSizeLimit()
{
    ::signal(SIGXFSZ, SIG_IGN);
}

void removeTemporaryFilesInProgress()
{
    for (auto& slot : g_temporaryFiles) {
        if (slot.state == TrackedFile::Ready)
            ::unlink(slot.path.data());
    }
}

void removeTemporaryFilesOnSignals()
{
    struct sigaction action { };
    action.sa_handler = removeTemporaryFilesAndEnd;
    sigemptyset(&action.sa_mask);
    for (const int signal : { SIGINT, SIGTERM, SIGHUP })
        sigaddset(&action.sa_mask, signal);
    for (const int signal : { SIGINT, SIGTERM, SIGHUP })
        ::sigaction(signal, &action, nullptr);
}

Result<void> replaceFile(const std::filesystem::path& file, std::string_view contents, Durability durability)
{
    auto replacement = AtomicFile::create(file);
    if (!replacement)
        return replacement.error();
    if (auto written = (*replacement)->write(contents); !written)
        return written;
    return (*replacement)->commit(durability);
}

} // namespace kaleon
