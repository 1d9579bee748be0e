#include "container/cryptor.h"

#include <latch>

namespace kaleon::container {

namespace {

constexpr std::string_view kQueuePrefix = "org.kaleon.container.";
constexpr std::string_view kSynchronousResponseQueue = "org.kaleon.container.TGEncryptor.response";

} // namespace

TGCryptor::TGCryptor(Handler handler, std::string_view className)
    : m_handler(std::move(handler))
    , m_responseQueue(SerialQueue::create(std::string(kQueuePrefix) + "response." + std::string(className)))
    , m_queue(SerialQueue::create(std::string(kQueuePrefix) + std::string(className)))
{
}

std::optional<Error> TGCryptor::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

bool TGCryptor::isFinished() const
{
    std::lock_guard lock(m_mutex);
    return m_finished;
}

void TGCryptor::setHandler(Handler handler)
{
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

std::shared_ptr<SerialQueue> TGCryptor::responseQueue() const
{
    std::lock_guard lock(m_mutex);
    return m_responseQueue;
}

void TGCryptor::setResponseQueue(std::shared_ptr<SerialQueue> queue)
{
    std::lock_guard lock(m_mutex);
    m_responseQueue = std::move(queue);
}

TGCryptor::Handler TGCryptor::takeHandlerIfRunning()
{
    std::lock_guard lock(m_mutex);
    if (m_finished)
        return {};
    return m_handler;
}

void TGCryptor::notifyProgress()
{
    if (const Handler handler = takeHandlerIfRunning())
        responseQueue()->sync([&] { handler(*this, m_outData); });
    m_outData.clear();
}

void TGCryptor::cleanupAndNotifyWithError(std::optional<Error> error)
{
    Handler handler;
    std::shared_ptr<SerialQueue> responseQueue;
    {
        std::lock_guard lock(m_mutex);
        if (m_finished)
            return;
        m_error = std::move(error);
        m_finished = true;
        handler = std::move(m_handler);
        m_handler = nullptr;
        responseQueue = m_responseQueue;
    }
    if (handler)
        responseQueue->sync([&] { handler(*this, m_outData); });
    m_outData.clear();
}

Result<Bytes> TGCryptor::synchronousResultForCryptor(const std::shared_ptr<TGCryptor>& cryptor, ByteView data)
{
    std::latch done(1);
    Bytes result;
    std::optional<Error> failure;
    cryptor->setHandler([&](TGCryptor& finishedOrNot, const Bytes& chunk) {
        result.insert(result.end(), chunk.begin(), chunk.end());
        if (finishedOrNot.isFinished()) {
            failure = finishedOrNot.error();
            done.count_down();
        }
    });
    cryptor->setResponseQueue(SerialQueue::create(std::string(kSynchronousResponseQueue)));
    cryptor->addData(data);
    cryptor->finish();
    done.wait();
    if (failure)
        return *failure;
    return result;
}

} // namespace kaleon::container
