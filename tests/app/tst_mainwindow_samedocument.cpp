// One window per document: Open, a recent file, a drop and Save as of a document another window
// of the user holds never open (or replace) it here. The other window is played by the test: it
// holds the document's lock as another process would, and listens on that process's socket.
#include "app/gui/views/DocumentView.h"
#include "app/gui/views/EntryListView.h"
#include "app/gui/views/GroupTreeModel.h"
#include "app/gui/window/TfrmTresorin.h"
#include "lang/gui/ShowMsg.h"
#include "platform/DocumentLock.h"
#include "platform/SingleInstance.h"
#include "platform/gui/ModalSeam.h"
#include "support/gui/WindowFixture.h"

#include <QApplication>
#include <QMimeData>
#include <QUrl>
#include <QtEndian>
#include <QtTest>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using testsupport::WindowFixture;

namespace {

// The process id the other window stands for: none of this machine's, never this test's.
constexpr qint64 kOtherPid = 3999999;

// Another window's process holding the document at path: its lock, and its socket, which takes one
// request and answers 128 (or nothing, when silent).
class OtherWindow
{
public:
    OtherWindow(const QString& path, bool answers)
    {
        const QString key = DocumentLock::keyFor(path);
        m_lock = ::open(QFile::encodeName(DocumentLock::lockFilePath(SingleInstance::folder(), key)).constData(),
                        O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        const QByteArray pid = QByteArray::number(kOtherPid) + '\n';
        m_ready = m_lock >= 0 && ::flock(m_lock, LOCK_EX | LOCK_NB) == 0 &&
                  ::write(m_lock, pid.constData(), size_t(pid.size())) == pid.size();
        const QByteArray name = QFile::encodeName(SingleInstance::processSocketName(kOtherPid));
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        m_ready = m_ready && m_listener >= 0 &&
                  ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                  ::listen(m_listener, 4) == 0;
        m_thread = std::thread([this, answers] {
            pollfd p{m_listener, POLLIN, 0};
            if (::poll(&p, 1, 10000) != 1)
                return;
            const int client = ::accept(m_listener, nullptr, nullptr);
            if (client < 0)
                return;
            char buffer[4096];
            QByteArray got;
            pollfd c{client, POLLIN, 0};
            while (::poll(&c, 1, 2000) == 1) {
                const ssize_t n = ::read(client, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                got.append(buffer, int(n));
                if (got.size() >= 8 && got.size() >= 8 + qFromLittleEndian<quint32>(got.constData() + 4))
                    break;
            }
            m_request = got;
            if (answers) {
                char answer[4];
                qToLittleEndian(SingleInstance::WakeUpAnswer, answer);
                (void)::write(client, answer, 4);
            } else {
                ::poll(&c, 1, 1500); // keeps the asker waiting, in vain
            }
            ::close(client);
            m_done = true;
        });
    }
    ~OtherWindow()
    {
        if (m_listener >= 0)
            ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
        ::close(m_lock);
    }
    bool ready() const { return m_ready; }
    bool done() const { return m_done; }
    // The request received: 4097, the length, the path.
    QByteArray request() const { return m_done ? m_request : QByteArray(); }

private:
    int m_lock = -1;
    int m_listener = -1;
    bool m_ready = false;
    std::atomic<bool> m_done{false};
    QByteArray m_request;
    std::thread m_thread;
};

QByteArray showRequest(const QString& path)
{
    const QByteArray bytes = DocumentLock::keyFor(path).toUtf8();
    QByteArray request(8, '\0');
    qToLittleEndian(SingleInstance::ShowDocumentRequest, request.data());
    qToLittleEndian(quint32(bytes.size()), request.data() + 4);
    return request + bytes;
}

} // namespace

class TestSameDocument : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fx = std::make_unique<WindowFixture>();
        // A silent window is waited for a short while only.
        SingleInstance::ShowAnswerMs = 500;
    }
    void cleanup()
    {
        m_fx.reset();
        SingleInstance::ShowAnswerMs = 3000;
    }
    void openedElsewhereIsNotOpenedHere_data();
    void openedElsewhereIsNotOpenedHere();
    void ownDocumentOpensAgain();

private:
    std::unique_ptr<WindowFixture> m_fx;
};

void TestSameDocument::openedElsewhereIsNotOpenedHere_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("answers");
    for (const char* way : {"open", "recent file", "drop", "save as"}) {
        QTest::addRow("%s, the other window comes forward", way) << QString::fromLatin1(way) << true;
        QTest::addRow("%s, the other window is silent", way) << QString::fromLatin1(way) << false;
    }
}

void TestSameDocument::openedElsewhereIsNotOpenedHere()
{
    QFETCH(QString, way);
    QFETCH(bool, answers);
    const QString path = m_fx->tmp().filePath(QStringLiteral("shared.pass"));
    DocumentState stored;
    stored.addGroup(QStringLiteral("kept"));
    QVERIFY(testsupport::writeDocument(path, stored, QStringLiteral("pw")));
    const QByteArray before = m_fx->tmp().readFile(QStringLiteral("shared.pass"));
    const QByteArray ini = testsupport::kWindowIni + "[MRU]\r\nUse=1\r\n1=" + path.toUtf8() + "\r\n";
    TfrmTresorin* w = m_fx->makeWindow(ini);
    w->show();
    // Unsaved work here: nothing may ask to save it for an open that does not happen.
    w->view()->groupModel()->addGroup(QStringLiteral("unsaved"), nullptr);
    w->SetModified(true);
    OtherWindow other(path, answers);
    QVERIFY(other.ready());
    ModalSeam::clearShown();

    const bool open = way == QLatin1String("open");
    if (open) {
        // Open asks its save question before its file dialog, as always.
        ModalSeam::pushAnswer(int(MsgNo));
        m_fx->openThroughCommand(path, QStringLiteral("pw"));
    } else if (way == QLatin1String("recent file")) {
        m_fx->trigger(QStringLiteral("ActionMRU1"));
    } else if (way == QLatin1String("drop")) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QWidget* target = w->view()->liste()->viewport();
        const QPoint pos = target->rect().center();
        QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
    } else {
        ModalSeam::pushAnswer(path);
        ModalSeam::pushAnswer(QStringLiteral("new password"));
        m_fx->trigger(QStringLiteral("ActionSauverSous"));
    }
    QTRY_VERIFY(other.done());
    QTest::qWait(50);

    // The other window was asked to come forward with the document's canonical path.
    QCOMPARE(other.request(), showRequest(path));
    // Nothing was opened or written here: no meta password asked, the document and the file as
    // they were.
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("MetaPass")), QStringList());
    QVERIFY(w->doc().CurrentPath.isEmpty());
    QVERIFY(w->doc().Modified);
    QCOMPARE(m_fx->topGroupNames(), QStringList{QStringLiteral("unsaved")});
    QCOMPARE(m_fx->tmp().readFile(QStringLiteral("shared.pass")), before);
    // A silent window is said; so is a Save as that would replace a document open elsewhere.
    QStringList messages = testsupport::shownMessages();
    if (open)
        QVERIFY(messages.takeFirst().startsWith(QStringLiteral("Do you want to save")));
    if (way == QLatin1String("save as")) {
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(QStringLiteral("cannot be replaced from this one")), qPrintable(messages[0]));
    } else if (!answers) {
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(QStringLiteral("which does not answer")), qPrintable(messages[0]));
    } else {
        QCOMPARE(messages, QStringList());
    }
}

// The window's own document is no other window's: Open of it opens it again, as always, and the
// lock follows the document shown (taken with it, let go with it, nothing left behind).
void TestSameDocument::ownDocumentOpensAgain()
{
    const QString path = m_fx->tmp().filePath(QStringLiteral("mine.pass"));
    DocumentState stored;
    stored.addGroup(QStringLiteral("mine"));
    QVERIFY(testsupport::writeDocument(path, stored, QStringLiteral("pw")));
    TfrmTresorin* w = m_fx->makeWindow();
    const QString key = DocumentLock::keyFor(path);
    const QString lockFile = DocumentLock::lockFilePath(SingleInstance::folder(), key);
    m_fx->openThroughCommand(path, QStringLiteral("pw"));
    QCOMPARE(w->doc().CurrentPath, path);
    QVERIFY(DocumentLock::heldHere(key));
    QVERIFY(QFile::exists(lockFile));
    m_fx->openThroughCommand(path, QStringLiteral("pw"));
    QCOMPARE(w->doc().CurrentPath, path);
    QCOMPARE(ModalSeam::shownTexts(QStringLiteral("MetaPass")).size(), 2);
    QVERIFY(DocumentLock::heldHere(key));
    m_fx->trigger(QStringLiteral("ActionNouveau"));
    QVERIFY(w->doc().CurrentPath.isEmpty());
    QVERIFY(!DocumentLock::heldHere(key));
    QVERIFY(!QFile::exists(lockFile));
}

QTEST_MAIN(TestSameDocument)
#include "tst_mainwindow_samedocument.moc"
