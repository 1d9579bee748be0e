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

} // namespace

void log(std::string_view message)
{
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
    static std::mutex mutex;
    static std::set<std::string, std::less<>> said;
    {
        std::lock_guard lock(mutex);
        if (!said.emplace(subject).second)
            return;
    }
    log(message);
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
