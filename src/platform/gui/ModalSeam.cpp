#include "platform/gui/ModalSeam.h"

#include <QQueue>

namespace {
struct SeamState
{
    bool active = false;
    QQueue<QVariant> answers;
    QList<ModalSeam::Shown> shown;
    int unanswered = 0;
    std::function<void(const ModalSeam::Shown&)> observer;
};

SeamState& state()
{
    static SeamState s;
    return s;
}
} // namespace

bool ModalSeam::active()
{
    return state().active;
}

void ModalSeam::activate()
{
    state().active = true;
}

void ModalSeam::deactivate()
{
    state() = SeamState();
}

void ModalSeam::pushAnswer(const QVariant& answer)
{
    state().answers.enqueue(answer);
}

int ModalSeam::pendingAnswers()
{
    return static_cast<int>(state().answers.size());
}

QVariant ModalSeam::ask(const Shown& question, const QVariant& fallback)
{
    auto& s = state();
    s.shown.append(question);
    if (s.observer)
        s.observer(question);
    if (s.answers.isEmpty()) {
        ++s.unanswered;
        return fallback;
    }
    return s.answers.dequeue();
}

void ModalSeam::setObserver(std::function<void(const Shown&)> observer)
{
    state().observer = std::move(observer);
}

void ModalSeam::record(const Shown& shown)
{
    state().shown.append(shown);
}

const QList<ModalSeam::Shown>& ModalSeam::shown()
{
    return state().shown;
}

QStringList ModalSeam::shownTexts(const QString& dialog)
{
    QStringList out;
    for (const auto& q : state().shown)
        if (dialog.isEmpty() || q.dialog == dialog)
            out << q.text;
    return out;
}

int ModalSeam::unanswered()
{
    return state().unanswered;
}

void ModalSeam::clearShown()
{
    state().shown.clear();
    state().unanswered = 0;
}
