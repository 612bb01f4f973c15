#include "fetch/CurlShare.h"

#include <curl/curl.h>

#include <iterator>
#include <mutex>

namespace
{

class SharedCaches
{
public:
    SharedCaches()
    {
        m_share = curl_share_init();
        if (!m_share)
            return;
        bool ok = curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, &SharedCaches::lock) == CURLSHE_OK
            && curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, &SharedCaches::unlock) == CURLSHE_OK
            && curl_share_setopt(m_share, CURLSHOPT_USERDATA, this) == CURLSHE_OK;
        for (const curl_lock_data data :
            { CURL_LOCK_DATA_DNS, CURL_LOCK_DATA_SSL_SESSION, CURL_LOCK_DATA_CONNECT })
            ok = ok && curl_share_setopt(m_share, CURLSHOPT_SHARE, data) == CURLSHE_OK;
        if (!ok) {
            curl_share_cleanup(m_share);
            m_share = nullptr;
        }
    }

    CURLSH* handle() const { return m_share; }

private:
    static std::mutex* mutexFor(void* self, curl_lock_data data)
    {
        auto* caches = static_cast<SharedCaches*>(self);
        const auto index = std::size_t(data);
        return index < std::size(caches->m_mutexes) ? &caches->m_mutexes[index] : nullptr;
    }
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self)
    {
        if (std::mutex* m = mutexFor(self, data))
            m->lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self)
    {
        if (std::mutex* m = mutexFor(self, data))
            m->unlock();
    }

    CURLSH* m_share = nullptr;
    std::mutex m_mutexes[CURL_LOCK_DATA_LAST];
};

} // namespace

CURLSH* CurlShare::get()
{
    static std::once_flag once;
    static SharedCaches* caches = nullptr;
    std::call_once(once, [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        caches = new SharedCaches;
    });
    return caches->handle();
}
