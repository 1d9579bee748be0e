#include "host/settings_watcher.h"

#include "core/log.h"
#include "core/notification_center.h"

#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace kaleon::host {

SettingsWatcher::SettingsWatcher(std::shared_ptr<ScreenSaverDefaults> defaults, std::string notificationName)
    : m_defaults(std::move(defaults))
    , m_notificationName(std::move(notificationName))
{
    const auto folder = m_defaults->file().parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        log(std::string("Cannot watch the settings for changes: ") + std::strerror(errno));
        return;
    }
    // Watch the folder, not the file: editors and our own store replace the file by renaming.
    if (::inotify_add_watch(m_fd, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_CREATE) < 0) {
        log("Cannot watch " + folder.string() + " for changes: " + std::strerror(errno));
        ::close(m_fd);
        m_fd = -1;
    }
}

SettingsWatcher::~SettingsWatcher()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SettingsWatcher::poll()
{
    return takeChanges() && applyChanges();
}

bool SettingsWatcher::takeChanges()
{
    if (m_fd < 0)
        return false;
    const std::string fileName = m_defaults->file().filename().string();
    bool touched = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            if (event->len > 0 && fileName == event->name && !(event->mask & IN_CREATE))
                touched = true;
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return touched;
}

bool SettingsWatcher::applyChanges()
{
    if (!m_defaults->reload())
        return false;
    NotificationCenter::defaultCenter().post(m_notificationName);
    return true;
}

} // namespace kaleon::host
