#include "core/notification_center.h"

#include <algorithm>

namespace kaleon {

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(
    std::weak_ptr<void> owner, const void* identity, std::string name, Callback callback)
{
    auto registration = std::make_shared<Registration>();
    registration->owner = std::move(owner);
    registration->identity = identity;
    registration->name = std::move(name);
    registration->callback = std::move(callback);
    std::lock_guard lock(m_mutex);
    m_registrations.push_back(std::move(registration));
}

void NotificationCenter::removeObserver(const void* observer, std::string_view name)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_registrations, [&](const auto& registration) {
        const bool matches = registration->identity == observer && (name.empty() || registration->name == name);
        // A delivery in progress may still hold this registration in its snapshot.
        if (matches)
            registration->removed = true;
        return matches;
    });
}

void NotificationCenter::post(std::string_view name, const void* object)
{
    std::vector<std::shared_ptr<Registration>> snapshot;
    {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_registrations, [](const auto& registration) { return registration->owner.expired(); });
        for (const auto& registration : m_registrations) {
            if (registration->name == name)
                snapshot.push_back(registration);
        }
    }
    const Notification notification { std::string(name), object };
    for (const auto& registration : snapshot) {
        if (registration->removed)
            continue;
        // Keep the observer alive for the length of its call.
        const auto owner = registration->owner.lock();
        if (!owner)
            continue;
        registration->callback(owner.get(), notification);
    }
}

size_t NotificationCenter::observerCount() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<size_t>(std::count_if(m_registrations.begin(), m_registrations.end(),
        [](const auto& registration) { return !registration->owner.expired(); }));
}

} // namespace kaleon
