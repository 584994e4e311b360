// Auto-type's figures on an X server of its own (Xvfb and openbox, as the tests start them): the
// time from the global shortcut's press to the first key a login form receives, and the keys per
// second it receives, with the program's delay between keys and without any. The form is the
// tests' login form, a program of its own; the press goes through XTest as a person's would.
//   bench_autotype [RUNS]

#include "autotype/Sequence.h"
#include "autotype/Typist.h"
#include "autotype/WindowMatch.h"
#include "autotype/X11Platform.h"
#include "document/DocumentModel.h"
#include "support/XvfbSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

extern "C" {
#include <xdo.h>
}

namespace {

const QString kPassword = QStringLiteral("Correct-Horse-Battery-Staple-é€ß-2024!");

// Waits for the form's report of a login or password of `length` characters, or a submit.
struct FormReader
{
    QProcess* form = nullptr;
    qint64 firstAt = -1;
    qint64 lastAt = -1;
    bool submitted = false;
    QString password; // as the form last reported it
    void read(const QElapsedTimer& clock)
    {
        while (form->canReadLine()) {
            const QByteArray line = form->readLine().trimmed();
            if (line.startsWith("password "))
                password = QString::fromUtf8(QByteArray::fromHex(line.mid(9)));
            if (line.startsWith("login ") || line.startsWith("password ")) {
                if (firstAt < 0)
                    firstAt = clock.nsecsElapsed();
                lastAt = clock.nsecsElapsed();
            } else if (line.startsWith("submit")) {
                lastAt = clock.nsecsElapsed();
                submitted = true;
            }
        }
    }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 10;
    testsupport::XvfbSession x;
    if (!x.isRunning()) {
        std::fprintf(stderr, "bench_autotype: %s\n", qPrintable(x.error()));
        return 1;
    }
    QProcess form;
    form.setProcessEnvironment(x.environment());
    form.start(QStringLiteral(TRESORIN_LOGINFORM), {QStringLiteral("Example Bank - Sign in")});
    QByteArray ready;
    const QDeadlineTimer startDeadline(20000);
    while (!ready.startsWith("ready") && !startDeadline.hasExpired())
        if (form.waitForReadyRead(100))
            ready = form.readLine();
    if (!ready.startsWith("ready")) {
        std::fprintf(stderr, "bench_autotype: the login form did not start\n");
        return 1;
    }

    autotype::X11Platform platform(x.display());
    autotype::Typist typist(platform);
    platform.setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_A));
    DocumentState doc;
    TGroupe* group = doc.addGroup(QStringLiteral("Web"));
    auto entry = NewEntry(group, QStringLiteral("Example Bank"));
    entry->Login = QStringLiteral("alice@example.org");
    entry->Password = kPassword;
    doc.appendEntry(std::move(entry));
    // What the command does at a press: the active window, its entry, the plan, the typing.
    QObject::connect(&platform, &autotype::Platform::pressed, [&] {
        const autotype::Platform::WindowId window = platform.activeWindow();
        const std::vector<autotype::Match> matches = autotype::matchWindow(doc, platform.windowTitle(window));
        if (matches.size() != 1)
            return;
        autotype::TypingPlan plan;
        autotype::buildPlan(autotype::parseSequence(autotype::sequenceOf(*matches[0].entry)), *matches[0].entry,
                            QString(), plan);
        typist.start(window, std::move(plan), false);
    });
    xdo_t* keys = xdo_new(x.display().constData());
    const int characters = int(QStringLiteral("alice@example.org\t").size() + kPassword.size() + 1);

    bool typedBefore = false; // the focus is then in the password field, after its Enter
    for (const int delay : {autotype::Typist::KeyDelayMs, 0}) {
        autotype::Typist::KeyDelayMs = delay;
        std::vector<double> latency, rate;
        for (int run = 0; run < runs; ++run) {
            // Empty fields: the form's own select-all and delete, then back to the login field.
            if (typedBefore) {
                for (const char* key : {"ctrl+a", "BackSpace", "shift+Tab", "ctrl+a", "BackSpace"})
                    xdo_send_keysequence_window(keys, CURRENTWINDOW, key, 0);
            }
            typedBefore = true;
            const QDeadlineTimer settle(300);
            while (!settle.hasExpired()) {
                form.waitForReadyRead(50);
                form.readAll();
            }
            FormReader reader;
            reader.form = &form;
            QElapsedTimer clock;
            clock.start();
            xdo_send_keysequence_window(keys, CURRENTWINDOW, "ctrl+alt+a", 0);
            const QDeadlineTimer deadline(30000);
            while (!reader.submitted && !deadline.hasExpired()) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                form.waitForReadyRead(1);
                reader.read(clock);
            }
            // A figure counts only for keys that all arrived right.
            if (!reader.submitted || reader.password != kPassword) {
                std::fprintf(stderr, "bench_autotype: the form did not receive the password as typed\n");
                return 1;
            }
            latency.push_back(double(reader.firstAt) / 1e6);
            rate.push_back((characters - 1) / (double(reader.lastAt - reader.firstAt) / 1e9));
        }
        std::printf("auto-type, %2d ms between keys: shortcut to first key %.1f ms, %.0f keys/s (median of %d runs, "
                    "%d keys each)\n",
                    delay, median(latency), median(rate), runs, characters);
    }
    xdo_free(keys);
    form.kill();
    form.waitForFinished(5000);
    return 0;
}
