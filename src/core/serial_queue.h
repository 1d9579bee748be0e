#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace kaleon {

// A FIFO of tasks run one at a time, in order. A queue has no thread of its own: while it has
// work it borrows one from a small shared pool, so queues are cheap to make by the thousand.
//
// `sync` runs its task in order with the others and returns when it has run. When the queue is
// idle the task runs at once on the calling thread, as a dispatch to an idle serial queue does;
// a task must not `sync` onto its own queue.
class SerialQueue : public std::enable_shared_from_this<SerialQueue> {
public:
    static std::shared_ptr<SerialQueue> create(std::string label);
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const { return m_label; }

    void async(std::function<void()> task);
    void sync(const std::function<void()>& task);

    // The number of threads the shared pool has started so far (they are kept for reuse).
    static size_t poolThreadCount();

private:
    explicit SerialQueue(std::string label)
        : m_label(std::move(label))
    {
    }
    void drain();

    struct Item {
        std::function<void()> task;
        // For `sync` behind other work: the waiting caller runs the task itself once its turn
        // comes; the drainer waits for it to finish.
        std::shared_ptr<struct Turn> turn;
    };

    std::string m_label;
    std::mutex m_mutex;
    std::deque<Item> m_items;
    bool m_running = false;
};

} // namespace kaleon
