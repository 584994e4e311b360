// The program started where no display can be opened: one sentence saying so and how to go on,
// exit status 1, instead of the toolkit's abort about platform plugins.

#include "platform/DisplayCheck.h"
#include "support/ProcessRunner.h"

#include <QtTest>

class TestProcessDisplay : public QObject
{
    Q_OBJECT

private slots:
    void saysWhatIsMissing_data()
    {
        QTest::addColumn<QStringList>("variables");
        QTest::newRow("no display named") << QStringList{};
        // A display is named but cannot be opened: the platform plugin fails inside the toolkit.
        QTest::newRow("display cannot be opened") << QStringList{"DISPLAY=:7391", "QT_QPA_PLATFORM=xcb"};
    }

    void saysWhatIsMissing()
    {
        QFETCH(QStringList, variables);
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        env.insert(QStringLiteral("HOME"), QDir::tempPath());
        for (const QString& v : variables)
            env.insert(v.section(QLatin1Char('='), 0, 0), v.section(QLatin1Char('='), 1));
        const testsupport::ProcessResult r = testsupport::ProcessRunner::window().environment(env).run();
        QVERIFY(r.started);
        QVERIFY(!r.timedOut);
        const QString err = r.errText();
        QVERIFY(!r.crashed);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(err.contains(NoDisplayMessage()), qPrintable(err));
        QVERIFY2(!err.contains(QLatin1String("platform plugin")), qPrintable(err));
    }

    void displayMissingRule_data()
    {
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<bool>("missing");
        QTest::newRow("nothing") << QStringList{} << true;
        QTest::newRow("empty DISPLAY") << QStringList{"DISPLAY="} << true;
        QTest::newRow("X11") << QStringList{"DISPLAY=:0"} << false;
        QTest::newRow("Wayland") << QStringList{"WAYLAND_DISPLAY=wayland-0"} << false;
        QTest::newRow("platform chosen") << QStringList{"QT_QPA_PLATFORM=offscreen"} << false;
    }

    void displayMissingRule()
    {
        QFETCH(QStringList, variables);
        QFETCH(bool, missing);
        QProcessEnvironment env;
        for (const QString& v : variables)
            env.insert(v.section(QLatin1Char('='), 0, 0), v.section(QLatin1Char('='), 1));
        QCOMPARE(DisplayMissing(env), missing);
    }
};

QTEST_GUILESS_MAIN(TestProcessDisplay)
#include "tst_process_display.moc"
