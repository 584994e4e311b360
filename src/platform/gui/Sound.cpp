#include "platform/gui/Sound.h"

#include <QApplication>
#include <QLibrary>
#include <QMutex>

#include <cstdint>

namespace platform {

namespace {

// libcanberra is optional: it is bound at run time so that the program starts without it.
class Canberra
{
public:
    Canberra()
    {
        m_lib.setFileNameAndVersion(QStringLiteral("canberra"), 0);
        if (!m_lib.load())
            return;
        auto create = reinterpret_cast<CreateFn>(m_lib.resolve("ca_context_create"));
        auto change = reinterpret_cast<ChangePropsFn>(m_lib.resolve("ca_context_change_props"));
        m_play = reinterpret_cast<PlayFn>(m_lib.resolve("ca_context_play"));
        if (!create || !m_play || create(&m_context) != 0) {
            m_context = nullptr;
            return;
        }
        if (change)
            change(m_context, "application.name", "Tresorin", static_cast<const char*>(nullptr));
    }

    // The context is kept for the whole run: the library plays asynchronously from it. A
    // machine without a sound device fails every time: after such a failure the beep serves. A
    // sound missing from the theme only affects that call; event sounds the user turned off
    // stay silent.
    bool play(const QString& eventId)
    {
        if (!m_context || eventId.isEmpty())
            return false;
        const QByteArray id = eventId.toLatin1();
        const int rc = m_play(m_context, 0, "event.id", id.constData(), static_cast<const char*>(nullptr));
        if (rc == 0 || rc == kDisabled)
            return true;
        if (rc != kNotFound)
            m_context = nullptr;
        return false;
    }

private:
    static constexpr int kNotFound = -9;  // CA_ERROR_NOTFOUND
    static constexpr int kDisabled = -16; // CA_ERROR_DISABLED
    using CreateFn = int (*)(void**);
    using ChangePropsFn = int (*)(void*, ...);
    using PlayFn = int (*)(void*, std::uint32_t, ...);

    QLibrary m_lib;
    void* m_context = nullptr;
    PlayFn m_play = nullptr;
};

SoundSink& sink()
{
    static SoundSink s;
    return s;
}

} // namespace

void setSoundSink(SoundSink s)
{
    sink() = std::move(s);
}

void playSound(SystemSound sound)
{
    if (sink()) {
        sink()(sound);
        return;
    }
    static QMutex mutex;
    QMutexLocker lock(&mutex);
    static Canberra canberra;
    if (!canberra.play(soundEventId(sound)))
        QApplication::beep();
}

} // namespace platform
