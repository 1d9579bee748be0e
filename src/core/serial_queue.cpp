#include "core/serial_queue.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace kaleon {

// Hand-over between a drainer that reached a `sync` item and the caller waiting in `sync`.
struct Turn {
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool done = false;
};

namespace {

// Threads that run queue drains. A job goes to an idle thread; when none is idle a new one is
// started (up to a cap), so a drain that waits on another queue cannot starve it of a thread.
class ThreadPool {
public:
    static ThreadPool& shared()
    {
        // Never destroyed: drains may still be running while the process exits.
        static ThreadPool* pool = new ThreadPool();
        return *pool;
    }

    void submit(std::function<void()> job)
    {
        std::unique_lock lock(m_mutex);
        m_jobs.push_back(std::move(job));
        if (m_idle >= m_jobs.size()) {
            m_available.notify_one();
            return;
        }
        if (m_threads < kMaximumThreads) {
            ++m_threads;
            std::thread([this] { work(); }).detach();
        }
    }

    size_t threadCount()
    {
        std::lock_guard lock(m_mutex);
        return m_threads;
    }

private:
    static constexpr size_t kMaximumThreads = 64;

    void work()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            ++m_idle;
            m_available.wait(lock, [this] { return !m_jobs.empty(); });
            --m_idle;
            auto job = std::move(m_jobs.front());
            m_jobs.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_available;
    std::deque<std::function<void()>> m_jobs;
    size_t m_idle = 0;
    size_t m_threads = 0;
};

} // namespace

std::shared_ptr<SerialQueue> SerialQueue::create(std::string label)
{
    return std::shared_ptr<SerialQueue>(new SerialQueue(std::move(label)));
}

size_t SerialQueue::poolThreadCount()
{
    return ThreadPool::shared().threadCount();
}

void SerialQueue::async(std::function<void()> task)
{
    std::lock_guard lock(m_mutex);
    m_items.push_back({ std::move(task), {} });
    if (!m_running) {
        m_running = true;
        // The drain keeps the queue alive until its work is done.
        ThreadPool::shared().submit([self = shared_from_this()] { self->drain(); });
    }
}

void SerialQueue::sync(const std::function<void()>& task)
{
    std::shared_ptr<Turn> turn;
    {
        std::lock_guard lock(m_mutex);
        if (m_running) {
            turn = std::make_shared<Turn>();
            m_items.push_back({ {}, turn });
        } else {
            // Idle: take the queue and run the task right here.
            m_running = true;
        }
    }
    if (!turn) {
        task();
        std::lock_guard lock(m_mutex);
        if (m_items.empty())
            m_running = false;
        else
            ThreadPool::shared().submit([self = shared_from_this()] { self->drain(); });
        return;
    }
    {
        std::unique_lock turnLock(turn->mutex);
        turn->changed.wait(turnLock, [&] { return turn->started; });
    }
    task();
    std::lock_guard turnLock(turn->mutex);
    turn->done = true;
    turn->changed.notify_all();
}

void SerialQueue::drain()
{
    for (;;) {
        Item item;
        {
            std::lock_guard lock(m_mutex);
            if (m_items.empty()) {
                m_running = false;
                return;
            }
            item = std::move(m_items.front());
            m_items.pop_front();
        }
        if (item.turn) {
            // Hand the queue to the caller waiting in `sync`, and take it back when it is done.
            Turn& turn = *item.turn;
            std::unique_lock turnLock(turn.mutex);
            turn.started = true;
            turn.changed.notify_all();
            turn.changed.wait(turnLock, [&] { return turn.done; });
        } else {
            item.task();
        }
    }
}

} // namespace kaleon
