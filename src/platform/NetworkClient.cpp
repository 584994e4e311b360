#include "platform/NetworkClient.h"

#include <QMutex>

#include <curl/curl.h>

namespace platform {

bool NetworkClientReady()
{
    static QMutex mutex;
    static bool ready = false;
    QMutexLocker lock(&mutex);
    if (!ready)
        ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

} // namespace platform
