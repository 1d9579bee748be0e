#include "core/file.h"

#include <algorithm>
#include <cerrno>
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
    std::string contents(static_cast<size_t>(status.st_size), '\0');
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

Result<std::unique_ptr<AtomicFile>> AtomicFile::create(std::filesystem::path destination)
{
    std::string temporary = destination.string() + ".XXXXXX";
    const int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0)
        return fileError("cannot create a file beside " + destination.string(), errno);
    return std::unique_ptr<AtomicFile>(new AtomicFile(std::move(destination), std::move(temporary), descriptor));
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

Result<void> AtomicFile::commit()
{
    if (m_descriptor < 0)
        return fileError("cannot write " + m_temporary.string(), EBADF);
    struct stat existing { };
    const mode_t mode = ::stat(m_destination.c_str(), &existing) == 0 ? existing.st_mode & 07777 : newFileMode();
    if (::fchmod(m_descriptor, mode) != 0 || ::fsync(m_descriptor) != 0) {
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
    m_temporary.clear();
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
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

Result<void> replaceFile(const std::filesystem::path& file, std::string_view contents)
{
    auto replacement = AtomicFile::create(file);
    if (!replacement)
        return replacement.error();
    if (auto written = (*replacement)->write(contents); !written)
        return written;
    return (*replacement)->commit();
}

} // namespace kaleon
