// The Debian package made from this build: its files, their validation by the desktop's own
// tools, and the tools it installs running from an unpacked copy. Nothing is installed into the
// machine's folders: the package is unpacked into a temporary root.

#include "ProductInfo.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

namespace {

using Run = testsupport::ProcessResult;

// Building and checking the package takes minutes on a loaded machine.
Run run(const QString& program, const QStringList& args, const QString& workDir = QString(),
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    return testsupport::ProcessRunner(program).environment(env).workingDirectory(workDir).timeout(180000).run(args);
}

// The commands listed by "tresorin-cli --help".
QStringList cliCommands(const QString& cli)
{
    const Run r = run(cli, {QStringLiteral("--help")});
    QStringList names;
    bool inList = false;
    for (const QString& line : QString::fromUtf8(r.out).split(QLatin1Char('\n'))) {
        if (line == QLatin1String("Commands:")) {
            inList = true;
            continue;
        }
        if (inList && line.isEmpty())
            break;
        static const QRegularExpression command(QStringLiteral("^  ([a-z][a-z-]*) "));
        const auto m = command.match(line);
        if (inList && m.hasMatch())
            names << m.captured(1);
    }
    return names;
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

private:
    testsupport::TempFolder m_tmp;
    QString m_deb;
    QString m_root;

    QString unpacked(const QString& path) const { return m_root + path; }

private slots:
    void initTestCase()
    {
        const QString cpack = QStandardPaths::findExecutable(QStringLiteral("cpack"));
        if (cpack.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty())
            QSKIP("cpack or dpkg-deb is not installed");
        const QString bin = testsupport::buildBinDir();
        const QString out = m_tmp.makeFolder(QStringLiteral("out"));
        const Run made = run(cpack,
                             {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out,
                              QStringLiteral("--config"), bin + QStringLiteral("/CPackConfig.cmake")},
                             bin);
        QVERIFY2(made.exitCode == 0, made.out + made.err);
        const QStringList debs = QDir(out).entryList({QStringLiteral("tresorin_*.deb")}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        m_deb = out + QLatin1Char('/') + debs.first();
        m_root = m_tmp.makeFolder(QStringLiteral("root"));
        const Run x = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_root});
        QVERIFY2(x.exitCode == 0, x.err);
    }

    void holdsEveryFile()
    {
        const Run list = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), m_deb});
        QCOMPARE(list.exitCode, 0);
        QStringList wanted = {
            "./usr/bin/tresorin",
            "./usr/bin/tresorin-cli",
            "./usr/share/applications/tresorin.desktop",
            "./usr/share/mime/packages/tresorin.xml",
            "./usr/share/metainfo/net.orbelune.tresorin.metainfo.xml",
            "./usr/share/man/man1/tresorin.1.gz",
            "./usr/share/man/man1/tresorin-cli.1.gz",
            "./usr/share/bash-completion/completions/tresorin-cli",
        };
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            wanted << QStringLiteral("./usr/share/icons/hicolor/%1x%1/apps/tresorin.png").arg(size);
        const QString listing = QString::fromUtf8(list.out);
        QStringList missing;
        for (const QString& path : wanted)
            if (!listing.contains(QLatin1Char(' ') + path + QLatin1Char('\n')))
                missing << path;
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char(' '))));

        // The icon files are PNG images of the size their folder says (width and height are the
        // big-endian words at bytes 16 and 20 of the header).
        QFile icon(unpacked(QStringLiteral("/usr/share/icons/hicolor/48x48/apps/tresorin.png")));
        QVERIFY(icon.open(QIODevice::ReadOnly));
        const QByteArray head = icon.read(24);
        QVERIFY(head.startsWith("\x89PNG\r\n\x1a\n"));
        QCOMPARE(head.mid(16, 8), QByteArray("\0\0\0\x30\0\0\0\x30", 8));

        const Run info = run(QStringLiteral("dpkg-deb"),
                             {QStringLiteral("-f"), m_deb, QStringLiteral("Version"), QStringLiteral("Depends")});
        QVERIFY(info.out.contains("Version: " TRESORIN_VERSION));
        QVERIFY2(info.out.contains("libqt6widgets6") && info.out.contains("qt6-qpa-plugins"), info.out);
    }

    // Debian's own checker finds neither an error nor a warning: licence and copyright file,
    // changelog, description, files where they belong.
    void lintianIsSatisfied()
    {
        const QString lintian = QStandardPaths::findExecutable(QStringLiteral("lintian"));
        if (lintian.isEmpty())
            QSKIP("lintian is not installed (tools/deps.sh test installs it)");
        const Run r = run(lintian, {QStringLiteral("--fail-on"), QStringLiteral("error,warning"), m_deb});
        QVERIFY2(r.exitCode == 0, r.out + r.err);
        QVERIFY(QFileInfo::exists(unpacked(QStringLiteral("/usr/share/doc/tresorin/copyright"))));
        QVERIFY(QFileInfo::exists(unpacked(QStringLiteral("/usr/share/doc/tresorin/changelog.gz"))));
        QFile copyright(unpacked(QStringLiteral("/usr/share/doc/tresorin/copyright")));
        QVERIFY(copyright.open(QIODevice::ReadOnly));
        QVERIFY(copyright.readAll().contains("License: GPL-3.0-or-later"));
    }

    void validates_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("desktop entry") << "desktop-file-validate"
                                       << QStringList{unpacked("/usr/share/applications/tresorin.desktop")};
        QTest::newRow("metainfo") << "appstreamcli"
                                  << QStringList{"validate", "--no-net",
                                                 unpacked("/usr/share/metainfo/net.orbelune.tresorin.metainfo.xml")};
    }

    void validates()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, args);
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(qPrintable(tool + QStringLiteral(" is not installed")));
        const Run r = run(tool, args);
        QVERIFY2(r.exitCode == 0, r.out + r.err);
    }

    void desktopEntryOpensDocuments()
    {
        QFile f(unpacked(QStringLiteral("/usr/share/applications/tresorin.desktop")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(text.contains("\nExec=tresorin %f\n"));
        QVERIFY(text.contains("\nMimeType=application/x-tresorin-document;\n"));
        QFile mime(unpacked(QStringLiteral("/usr/share/mime/packages/tresorin.xml")));
        QVERIFY(mime.open(QIODevice::ReadOnly));
        const QByteArray xml = mime.readAll();
        QVERIFY(xml.contains("type=\"application/x-tresorin-document\""));
        QVERIFY(xml.contains("<glob pattern=\"*.pass\"/>"));
    }

    void unpackedToolsRun()
    {
        const QString cli = unpacked(QStringLiteral("/usr/bin/tresorin-cli"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TRESORIN_INI"), m_tmp.filePath(QStringLiteral("Tresorin.ini")));
        const Run version = run(cli, {QStringLiteral("--version")}, QString(), env);
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out.trimmed(), QByteArray("tresorin-cli " TRESORIN_VERSION));

        const Run gen = run(cli, {"generate", "--length", "14", "--upper", "--digits", "--count", "3"}, QString(), env);
        QVERIFY2(gen.exitCode == 0, gen.err);
        const QList<QByteArray> lines = gen.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        // The strength score is unbounded: a password with many repeated characters scores below 0.
        static const QRegularExpression shape(QStringLiteral("^[A-Z0-9]{14}\t-?\\d+(\\.\\d+)?$"));
        for (const QByteArray& line : lines)
            QVERIFY2(shape.match(QString::fromUtf8(line)).hasMatch(), line);
    }

    // The manual page of the tool holds the help of every command it lists, so it cannot drift.
    void manualPageFollowsHelp()
    {
        const QString cli = unpacked(QStringLiteral("/usr/bin/tresorin-cli"));
        const QStringList commands = cliCommands(cli);
        QVERIFY(commands.contains(QStringLiteral("generate")));
        const Run page =
            run(QStringLiteral("gzip"),
                {QStringLiteral("-dc"), unpacked(QStringLiteral("/usr/share/man/man1/tresorin-cli.1.gz"))});
        QCOMPARE(page.exitCode, 0);
        for (const QString& c : commands) {
            QVERIFY2(page.out.contains(".SS " + c.toUtf8() + '\n'), qPrintable(c));
            QVERIFY2(page.out.contains("Usage: tresorin\\-cli " + c.toUtf8()) ||
                         page.out.contains("Usage: tresorin-cli " + c.toUtf8()),
                     qPrintable(c));
        }
    }

    void completionOffersCommandsAndOptions_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("commands") << QStringList{"CLI", "ge"} << QStringList{"generate"};
        QTest::newRow("every command") << QStringList{"CLI", ""}
                                       << QStringList{"export",   "import", "info",   "passwd",   "search",
                                                      "generate", "sync",   "--help", "--version"};
        QTest::newRow("import force") << QStringList{"CLI", "import", "--f"} << QStringList{"--force", "--from"};
        QTest::newRow("import formats") << QStringList{"CLI", "import", "--from", "b"} << QStringList{"bitwarden-json"};
        QTest::newRow("export formats") << QStringList{"CLI", "export", "--to", "c"} << QStringList{"csv"};
        QTest::newRow("search options") << QStringList{"CLI", "search", "--"}
                                        << QStringList{"--show-passwords", "--help"};
        QTest::newRow("generate options")
            << QStringList{"CLI", "generate", "--c"} << QStringList{"--count", "--custom"};
        QTest::newRow("sync options") << QStringList{"CLI", "sync", "--"}
                                      << QStringList{"--merge", "--trust", "--help"};
    }

    void completionOffersCommandsAndOptions()
    {
        QFETCH(QStringList, words);
        QFETCH(QStringList, expected);
        const QString framework = QStringLiteral("/usr/share/bash-completion/bash_completion");
        if (!QFile::exists(framework))
            QSKIP("bash-completion is not installed");
        words[0] = unpacked(QStringLiteral("/usr/bin/tresorin-cli"));
        QString script =
            QStringLiteral(". %1; . %2; COMP_WORDS=(")
                .arg(framework, unpacked(QStringLiteral("/usr/share/bash-completion/completions/tresorin-cli")));
        for (const QString& w : words)
            script += QLatin1Char('\'') + w + QStringLiteral("' ");
        script += QStringLiteral(");COMP_CWORD=%1;COMP_LINE=\"${COMP_WORDS[*]}\";COMP_POINT=${#COMP_LINE};"
                                 "_tresorin_cli; printf '%s\\n' \"${COMPREPLY[@]}\"")
                      .arg(words.size() - 1);
        const Run r = run(QStringLiteral("bash"), {QStringLiteral("-c"), script});
        QVERIFY2(r.exitCode == 0, r.err);
        QStringList got = QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& e : expected)
            QVERIFY2(got.contains(e), qPrintable(got.join(QLatin1Char(' '))));
        // Nothing offered that does not start with what was typed.
        for (const QString& g : got)
            QVERIFY2(g.startsWith(words.last()), qPrintable(g));
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
