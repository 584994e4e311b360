#include "update/TMajWeb.h"

#include "platform/NetworkClient.h"

#include <curl/curl.h>

#include <atomic>
#include <mutex>

namespace {

std::atomic<int> g_connectMs{10000};
std::atomic<int> g_totalMs{20000};
std::atomic<int> g_running{0};

struct Transfer
{
    QByteArray* answer;
    TMajWeb* worker;
};

size_t keepAnswer(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    const qsizetype room = TMajWeb::kMaxAnswer - t->answer->size();
    const qsizetype n = qsizetype(size * count);
    t->answer->append(data, qMin(room, n));
    // A full answer ends the transfer: the rest is not wanted.
    return t->answer->size() >= TMajWeb::kMaxAnswer ? 0 : size * count;
}

int progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Transfer*>(user)->worker->isInterruptionRequested() ? 1 : 0;
}

} // namespace

TMajWeb::TMajWeb(const QString& url, bool silent, const QString& netErrorText, QObject* parent)
    : QThread(parent), CheckUrl(url), Silent(silent), m_netErrorText(netErrorText)
{
    // Counted from now: a request about to start is as running as one under way.
    ++g_running;
}

TMajWeb::~TMajWeb()
{
    wait();
    uncount();
}

void TMajWeb::uncount()
{
    if (m_counted.exchange(false))
        --g_running;
}

bool TMajWeb::clientAvailable()
{
    return platform::NetworkClientReady();
}

void TMajWeb::setTimeouts(int connectMs, int totalMs)
{
    g_connectMs = connectMs;
    g_totalMs = totalMs;
}

int TMajWeb::running()
{
    return g_running;
}

void TMajWeb::run()
{
    CURL* curl = curl_easy_init();
    if (!curl) {
        ErrorText = m_netErrorText + QStringLiteral("\r\n\r\n");
        uncount();
        return;
    }
    const QByteArray url = CheckUrl.toUtf8();
    char reply[CURL_ERROR_SIZE] = {};
    Transfer transfer{&Answer, this};
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    // Only the web: an address taken from the settings or from an answer cannot reach a file or
    // another protocol, also not through a redirection.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // A request made over https is never redirected down to http.
    const bool secure = CheckUrl.startsWith(QLatin1String("https:"), Qt::CaseInsensitive);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(g_connectMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(g_totalMs));
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, reply);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keepAnswer);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);

    const CURLcode code = curl_easy_perform(curl);
    curl_easy_cleanup(curl);

    // Whatever arrived is the answer, as a single read would have taken it; a stopped request
    // leaves nothing to report.
    if (code != CURLE_OK && Answer.isEmpty() && !isInterruptionRequested()) {
        const QString text = reply[0] ? QString::fromLocal8Bit(reply) : QString::fromLatin1(curl_easy_strerror(code));
        ErrorText = m_netErrorText + QStringLiteral("\r\n\r\n") + text;
    }
    if (isInterruptionRequested())
        Answer.clear();
    uncount();
}
