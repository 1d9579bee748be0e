#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kaleon {

// Writes one message as one line of the system log (stderr unless a sink is installed).
// Line breaks inside the message are replaced by spaces, so a message is always one line.
void log(std::string_view message);

// Logs `message` unless a message was logged for `subject` (a file, say) before in this
// process: a bad file read again and again is said once.
void logOnce(std::string_view subject, std::string_view message);

// While it lives, what this thread logs is said only if no earlier scope of the same subject
// lived in this process: a bad file that is read again and again is reported the first time
// only. An inner scope decides for itself.
class ScopedLogOnce {
public:
    explicit ScopedLogOnce(std::string_view subject);
    ~ScopedLogOnce();
    ScopedLogOnce(const ScopedLogOnce&) = delete;
    ScopedLogOnce& operator=(const ScopedLogOnce&) = delete;

private:
    bool m_wasSilent;
};

// Where log lines go. Returns the previous sink; an empty sink restores stderr.
using LogSink = std::function<void(std::string_view line)>;
LogSink setLogSink(LogSink sink);

// Collects every line logged while it lives, instead of writing them to stderr.
class ScopedLogCapture {
public:
    ScopedLogCapture();
    ~ScopedLogCapture();
    ScopedLogCapture(const ScopedLogCapture&) = delete;
    ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

    const std::vector<std::string>& lines() const { return m_lines; }
    size_t count(std::string_view line) const;
    void clear() { m_lines.clear(); }

private:
    std::vector<std::string> m_lines;
    LogSink m_previous;
};

} // namespace kaleon
