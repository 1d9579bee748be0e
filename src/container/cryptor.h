#pragma once

#include "container/engine.h"
#include "container/settings.h"
#include "core/serial_queue.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

namespace kaleon::container {

// The base of the container reader and writer. Data goes in with `addData` (any number of
// calls) and `finish` (once); cipher and HMAC work runs in order on the cryptor's serial worker
// queue, and the handler runs on its serial response queue with each piece of output. The
// last call comes with `isFinished()` true and `error()` set or not; after it the handler is
// dropped and never called again.
class TGCryptor : public std::enable_shared_from_this<TGCryptor> {
public:
    using Handler = std::function<void(TGCryptor& cryptor, const Bytes& data)>;

    virtual ~TGCryptor() = default;
    // A handler that ignores everything, for the one-call operations.
    static Handler ignoringHandler()
    {
        return [](TGCryptor&, const Bytes&) {};
    }
    TGCryptor(const TGCryptor&) = delete;
    TGCryptor& operator=(const TGCryptor&) = delete;

    // Runs one whole operation on a fresh cryptor with `data` as its only input and waits for
    // the end: all output in order, or the error (output before a failure is dropped with it).
    static Result<Bytes> synchronousResultForCryptor(const std::shared_ptr<TGCryptor>& cryptor, ByteView data);
    // The same for a cryptor that may have failed to be made: then its creation error, at once.
    template<class Cryptor>
    static Result<Bytes> synchronousResultForCryptor(const Result<std::shared_ptr<Cryptor>>& cryptor, ByteView data)
    {
        if (!cryptor)
            return cryptor.error();
        return synchronousResultForCryptor(std::shared_ptr<TGCryptor>(*cryptor), data);
    }

    virtual void addData(ByteView data) = 0;
    virtual void finish() = 0;

    // Ends the operation once: records the outcome and calls the handler a last time with the
    // pending output. Later calls do nothing.
    void cleanupAndNotifyWithError(std::optional<Error> error);

    bool hasHMAC() const { return m_HMACLength != 0; }
    std::optional<Error> error() const;
    bool isFinished() const;
    void setHandler(Handler handler);
    std::shared_ptr<SerialQueue> responseQueue() const;
    void setResponseQueue(std::shared_ptr<SerialQueue> queue);
    const std::shared_ptr<SerialQueue>& queue() const { return m_queue; }
    size_t HMACLength() const { return m_HMACLength; }
    std::uint8_t options() const { return m_options; }

protected:
    TGCryptor(Handler handler, std::string_view className);

    // Calls the handler with `m_outData` (unless finished meanwhile), then empties it.
    void notifyProgress();
    template<class Self>
    std::shared_ptr<Self> self()
    {
        return std::static_pointer_cast<Self>(shared_from_this());
    }
    // Queues `work`, called with this cryptor as a `Self`, on the worker queue. Nothing is queued
    // once the operation has ended, and queued work is skipped if it ends before its turn.
    template<class Self, class Work>
    void enqueue(Work work)
    {
        if (isFinished())
            return;
        queue()->async([self = self<Self>(), work = std::move(work)]() mutable {
            if (!self->isFinished())
                work(*self);
        });
    }

    std::unique_ptr<TGCryptorEngine> m_engine;
    std::unique_ptr<RunningHMAC> m_HMAC;
    Bytes m_outData;
    size_t m_HMACLength = 0;
    std::uint8_t m_options = 0;

private:
    Handler takeHandlerIfRunning();

    mutable std::mutex m_mutex;
    std::optional<Error> m_error;
    bool m_finished = false;
    Handler m_handler;
    std::shared_ptr<SerialQueue> m_responseQueue;
    std::shared_ptr<SerialQueue> m_queue;
};

} // namespace kaleon::container
