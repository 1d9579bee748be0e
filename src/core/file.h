#pragma once

#include "core/result.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace kaleon {

inline constexpr std::string_view kFileErrorDomain = "File";

// Shapes, palettes and settings are never near this large.
inline constexpr size_t kReadFileLimit = 16 * 1024 * 1024;

// The whole contents of a regular file of at most `limit` bytes, or why it could not be read
// (a folder, a device, a FIFO, a larger file).
Result<std::string> readFile(const std::filesystem::path& path, size_t limit = kReadFileLimit);

// The path with what changes when the file does (its size, modification time and inode), as
// a subject for logOnce and ScopedLogOnce: what is said about a bad file is said again once
// it was changed. Just the path when the file cannot be looked at.
std::string fileVersion(const std::filesystem::path& path);

// A file that replaces its destination as a whole or not at all. What is written goes to a
// temporary file beside the destination that only its owner may read; `commit` flushes it to
// the disk, gives it the permissions of the file it replaces (or those a new file would get),
// renames it over the destination and makes the rename durable. Until then the destination
// stays as it was, and a file that is not committed is removed when it is destroyed.
// Whether a replacement waits until it is on the disk (for what must survive a power cut), or
// only until other processes see it whole (pictures that are made again in a moment).
enum class Durability { Synced, Unsynced };

class AtomicFile {
public:
    static Result<std::unique_ptr<AtomicFile>> create(std::filesystem::path destination);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    const std::filesystem::path& destination() const { return m_destination; }
    const std::filesystem::path& temporaryPath() const { return m_temporary; }

    Result<void> write(std::span<const std::uint8_t> bytes);
    Result<void> write(std::string_view text);
    Result<void> commit(Durability durability = Durability::Synced);
    // Removes the temporary file; the destination stays as it was.
    void discard();

private:
    AtomicFile(std::filesystem::path destination, std::filesystem::path temporary, int descriptor)
        : m_destination(std::move(destination))
        , m_temporary(std::move(temporary))
        , m_descriptor(descriptor)
    {
    }

    std::filesystem::path m_destination;
    std::filesystem::path m_temporary;
    int m_descriptor;
};

// From now on, SIGINT, SIGTERM and SIGHUP first remove the temporary files of the
// AtomicFiles in progress, then end the process as the signal would have. For tools that
// have no signal handling of their own.
void removeTemporaryFilesOnSignals();

// From now on a write past the file-size limit (ulimit -f) fails with EFBIG like any other
// failed write, instead of ending the process by SIGXFSZ with a temporary file left behind.
void failWritesPastTheFileSizeLimit();

// Removes the temporary files of the AtomicFiles in progress; safe in a signal handler.
void removeTemporaryFilesInProgress();

// Replaces `file` with `contents` through an AtomicFile.
Result<void> replaceFile(
    const std::filesystem::path& file, std::string_view contents, Durability durability = Durability::Synced);

} // namespace kaleon
