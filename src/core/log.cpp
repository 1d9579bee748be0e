#include "core/log.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <set>
#include <utility>

namespace kaleon {

namespace {

std::mutex& sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

LogSink& currentSink()
{
    static LogSink sink;
    return sink;
}

thread_local bool t_silent = false;

// Whether `subject` was named before in this process (and from now on it was).
bool namedBefore(std::string_view subject)
{
    static std::mutex mutex;
    static std::set<std::string, std::less<>> named;
    std::lock_guard lock(mutex);
    return !named.emplace(subject).second;
}

} // namespace

void log(std::string_view message)
{
    if (t_silent)
        return;
    std::string line(message);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');

    std::lock_guard lock(sinkMutex());
    if (auto& sink = currentSink()) {
        sink(line);
        return;
    }
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void logOnce(std::string_view subject, std::string_view message)
{
    if (!namedBefore(std::string("said:").append(subject)))
        log(message);
}

ScopedLogOnce::ScopedLogOnce(std::string_view subject)
    : m_wasSilent(std::exchange(t_silent, namedBefore(std::string("scope:").append(subject))))
{
}

ScopedLogOnce::~ScopedLogOnce()
{
    t_silent = m_wasSilent;
}

LogSink setLogSink(LogSink sink)
{
    std::lock_guard lock(sinkMutex());
    return std::exchange(currentSink(), std::move(sink));
}

ScopedLogCapture::ScopedLogCapture()
    : m_previous(setLogSink([this](std::string_view line) { m_lines.emplace_back(line); }))
{
}

ScopedLogCapture::~ScopedLogCapture()
{
    setLogSink(std::move(m_previous));
}

size_t ScopedLogCapture::count(std::string_view line) const
{
    return static_cast<size_t>(std::count(m_lines.begin(), m_lines.end(), line));
}

} // namespace kaleon
