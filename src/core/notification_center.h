#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kaleon {

struct Notification {
    std::string name;
    const void* object = nullptr;
};

// Delivers named notifications synchronously on the posting thread, to observers in the order
// they registered. Observers are held weakly: a destroyed observer simply stops being called.
// An observer may remove itself or any other observer while a notification is being delivered;
// a removed observer is not called again, not even later in the same delivery.
class NotificationCenter {
public:
    static NotificationCenter& defaultCenter();

    // Calls `method` on `observer` for every notification named `name`, from any sender.
    template<class T>
    void addObserver(const std::shared_ptr<T>& observer, std::string name, void (T::*method)(const Notification&))
    {
        addObserver(std::weak_ptr<void>(observer), observer.get(), std::move(name),
            [method](
                void* target, const Notification& notification) { (static_cast<T*>(target)->*method)(notification); });
    }

    // Stops delivering `name` to `observer` (every name when `name` is empty).
    void removeObserver(const void* observer, std::string_view name = {});

    void post(std::string_view name, const void* object = nullptr);

    size_t observerCount() const;

private:
    using Callback = std::function<void(void* target, const Notification&)>;
    struct Registration {
        std::weak_ptr<void> owner;
        const void* identity = nullptr;
        std::string name;
        Callback callback;
        std::atomic<bool> removed = false;
    };

    void addObserver(std::weak_ptr<void> owner, const void* identity, std::string name, Callback callback);

    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<Registration>> m_registrations;
};

} // namespace kaleon
