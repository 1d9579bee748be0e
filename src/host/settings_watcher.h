#pragma once

#include "host/screen_saver_defaults.h"

#include <memory>
#include <string>

namespace kaleon::host {

// Watches a settings store's file (inotify). When another process has changed it, `poll`
// reloads the store and posts `notificationName` on the default notification centre, on the
// calling thread. Our own writes leave the stored values as they are, so they post nothing.
class SettingsWatcher {
public:
    SettingsWatcher(std::shared_ptr<ScreenSaverDefaults> defaults, std::string notificationName);
    ~SettingsWatcher();
    SettingsWatcher(const SettingsWatcher&) = delete;
    SettingsWatcher& operator=(const SettingsWatcher&) = delete;

    // The descriptor to wait on for readability; -1 when watching is not possible here.
    int fileDescriptor() const { return m_fd; }

    // Handles what happened since the last call, without blocking. Returns whether it posted.
    // The same as `takeChanges` followed, when they touched the file, by `applyChanges`.
    bool poll();

    // Reads what happened to the folder without blocking; whether the file was touched. May run
    // on another thread than the rest, one caller at a time.
    bool takeChanges();
    // Reloads the store and posts the notification when another process changed the values.
    // Returns whether it posted.
    bool applyChanges();

private:
    std::shared_ptr<ScreenSaverDefaults> m_defaults;
    std::string m_notificationName;
    int m_fd = -1;
};

} // namespace kaleon::host
