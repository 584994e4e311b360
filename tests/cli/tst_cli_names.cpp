// File names tresorin-cli must not take at their word: a link whose target is missing counts as
// an existing file for import, and a name that is not valid UTF-8 is refused before anything is
// read or written, since Qt would hand it on as another name.
#include "document/DocumentFile.h"
#include "document/DocumentJson.h"
#include "support/DocumentFixture.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::TempFolder;

extern char** environ;

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray err;
};

// Runs the tool in folder with arguments given as raw bytes (QProcess would re-encode them),
// standard input from input.
Run runRaw(const QString& folder, const QList<QByteArray>& args, const QByteArray& input)
{
    Run r;
    int in[2];
    int err[2];
    if (pipe(in) != 0 || pipe(err) != 0)
        return r;
    const QByteArray tool = QFile::encodeName(testsupport::cliProgram());
    std::vector<char*> argv{const_cast<char*>(tool.constData())};
    for (const QByteArray& a : args)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(in[1]);
        close(err[0]);
        if (chdir(QFile::encodeName(folder).constData()) != 0)
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(err[1]);
    if (write(in[1], input.constData(), size_t(input.size())) != input.size())
        qWarning("input not fully written");
    close(in[1]);
    char buffer[4096];
    for (ssize_t n; (n = read(err[0], buffer, sizeof buffer)) > 0;)
        r.err.append(buffer, n);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    return r;
}

QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
}

bool writeJson(const QString& path)
{
    DocumentState doc;
    testsupport::buildRichDocument(doc);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(docjson::toJson(doc)) > 0;
}

} // namespace

class TestCliNames : public QObject
{
    Q_OBJECT

private slots:
    void importRefusesADanglingLink();
    void invalidUtf8NamesAreRefused_data();
    void invalidUtf8NamesAreRefused();
};

void TestCliNames::importRefusesADanglingLink()
{
    TempFolder dir;
    QVERIFY(writeJson(dir.filePath(QStringLiteral("in.json"))));
    const QString link = dir.filePath(QStringLiteral("out.pass"));
    const QString target = dir.filePath(QStringLiteral("elsewhere.pass"));
    QVERIFY(QFile::link(target, link));

    Run r = runRaw(dir.path(), {"import", "in.json", "out.pass"}, "pw\npw\n");
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("out.pass exists; use --force to replace it"), r.err.constData());
    QVERIFY(!QFile::exists(target));
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);

    // With --force the link is followed, as for a link to an existing file.
    r = runRaw(dir.path(), {"import", "--force", "in.json", "out.pass"}, "pw\npw\n");
    QCOMPARE(r.exitCode, 0);
    QVERIFY(QFileInfo(link).isSymLink());
    DocumentState doc;
    QCOMPARE(docfile::loadFile(target, QStringLiteral("pw"), doc, {}).status, docfile::ReadStatus::Ok);
}

void TestCliNames::invalidUtf8NamesAreRefused_data()
{
    QTest::addColumn<QList<QByteArray>>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("import to a Latin-1 name")
        << QList<QByteArray>{"import", "in.json", "caf\xe9.pass"} << QByteArray("pw\npw\n")
        << QByteArray("\"caf\\xe9.pass\" is not valid UTF-8");
    QTest::newRow("import from a cut sequence")
        << QList<QByteArray>{"import", "in\xc3.json", "out.pass"} << QByteArray("pw\npw\n")
        << QByteArray("\"in\\xc3.json\" is not valid UTF-8");
    QTest::newRow("export of an existing file") << QList<QByteArray>{"export", "doc\xff.pass"} << QByteArray("pw\n")
                                                << QByteArray("\"doc\\xff.pass\" is not valid UTF-8");
    QTest::newRow("passwd of an existing file")
        << QList<QByteArray>{"passwd", "doc\xff.pass"} << QByteArray("pw\nnew\nnew\n")
        << QByteArray("\"doc\\xff.pass\" is not valid UTF-8");
}

void TestCliNames::invalidUtf8NamesAreRefused()
{
    QFETCH(QList<QByteArray>, args);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, shown);
    TempFolder dir;
    QVERIFY(writeJson(dir.filePath(QStringLiteral("in.json"))));
    // A document under a name that is not UTF-8, made through the raw name.
    QByteArray stored;
    {
        DocumentState doc;
        testsupport::buildRichDocument(doc);
        doc.MetaPassword = QStringLiteral("pw");
        QVERIFY(docfile::saveFile(doc, dir.filePath(QStringLiteral("plain.pass")), false).ok);
        QFile f(dir.filePath(QStringLiteral("plain.pass")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        stored = f.readAll();
        const QByteArray raw = QFile::encodeName(dir.path()) + "/doc\xff.pass";
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, stored.constData(), size_t(stored.size())), ssize_t(stored.size()));
        ::close(fd);
    }
    const QStringList before = namesIn(dir.path());

    const Run r = runRaw(dir.path(), args, input);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(shown), r.err.constData());
    QCOMPARE(namesIn(dir.path()), before);
    QFile f(QString::fromUtf8(QFile::encodeName(dir.path())) + QStringLiteral("/plain.pass"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), stored);
}

QTEST_MAIN(TestCliNames)
#include "tst_cli_names.moc"
