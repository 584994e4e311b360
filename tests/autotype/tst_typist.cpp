// The typing of a plan through a scripted window system: the keys in order, the stop when the
// active window changes, the modifiers waited for and released, Caps Lock given back, spare
// keycodes bound before the first key and freed after the last, the pauses of the sequence, and a
// target that cannot be made active again.

#include "autotype/Typist.h"
#include "support/FakeAutoTypePlatform.h"

#include <QtTest>

using testsupport::FakeAutoTypePlatform;
using Outcome = autotype::Typist::Outcome;

Q_DECLARE_METATYPE(autotype::Typist::Outcome)

namespace {

autotype::TypingPlan planOf(const QString& text, std::vector<std::pair<qsizetype, int>> pauses = {})
{
    autotype::TypingPlan plan;
    plan.text = text;
    plan.pauses = std::move(pauses);
    return plan;
}

} // namespace

class TestTypist : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qRegisterMetaType<autotype::Typist::Outcome>();
        autotype::Typist::KeyDelayMs = 0;
        autotype::Typist::UnbindDelayMs = 0;
        autotype::Typist::RebindPauseMs = 0;
    }

    void typesEveryKeyInOrder()
    {
        FakeAutoTypePlatform fake;
        fake.active = 7;
        autotype::Typist typist(fake);
        QSignalSpy done(&typist, &autotype::Typist::finished);
        QVERIFY(typist.start(7, planOf(QStringLiteral("aB\té€\n")), false));
        QVERIFY(!typist.start(7, planOf(QStringLiteral("x")), false)); // one typing at a time
        QVERIFY(done.wait(5000));
        QCOMPARE(done.first().first().value<Outcome>(), Outcome::Typed);
        QCOMPARE(fake.keys(), (QStringList{"a", "B", "Tab", "eacute", "EuroSign", "Return"}));
        // Modifiers first, the spare keycodes bound before the first key, Caps Lock given back.
        const int release = int(fake.log.indexOf(QStringLiteral("release")));
        const int bindE = int(fake.log.indexOf(QStringLiteral("bind 200 eacute Eacute")));
        const int bindEuro = int(fake.log.indexOf(QStringLiteral("bind 201 EuroSign EuroSign")));
        const int firstKey = int(fake.log.indexOf(QStringLiteral("key a")));
        QVERIFY2(release >= 0 && release < bindE && bindE < firstKey && bindEuro < firstKey,
                 qPrintable(fake.log.join(", ")));
        QVERIFY(fake.log.indexOf(QStringLiteral("restore")) > fake.log.indexOf(QStringLiteral("key Return")));
        // Freed once the target has had the time to read its keys.
        QTRY_VERIFY(fake.log.contains(QStringLiteral("unbind 200")) && fake.log.contains(QStringLiteral("unbind 201")));
        QCOMPARE(typist.keysTyped(), 6);
        QVERIFY(typist.firstKeyMs() >= 0);
    }

    void stopsWhenAnotherWindowBecomesActive()
    {
        FakeAutoTypePlatform fake;
        fake.active = 7;
        autotype::Typist typist(fake);
        // The user clicks elsewhere after the third key.
        connect(&typist, &autotype::Typist::keyTyped, this, [&fake](int index) {
            if (index == 2)
                fake.active = 8;
        });
        QSignalSpy done(&typist, &autotype::Typist::finished);
        QVERIFY(typist.start(7, planOf(QStringLiteral("user\tsecret\n")), false));
        QVERIFY(done.wait(5000));
        QCOMPARE(done.first().first().value<Outcome>(), Outcome::WindowChanged);
        QCOMPARE(fake.keys(), (QStringList{"u", "s", "e"}));
        QVERIFY(fake.log.contains(QStringLiteral("restore")));
    }

    void nothingTypedWhenTheWindowChangedBeforeTheFirstKey()
    {
        FakeAutoTypePlatform fake;
        fake.active = 9;
        autotype::Typist typist(fake);
        QSignalSpy done(&typist, &autotype::Typist::finished);
        QVERIFY(typist.start(7, planOf(QStringLiteral("secret")), false));
        QVERIFY(done.wait(5000));
        QCOMPARE(done.first().first().value<Outcome>(), Outcome::WindowChanged);
        QVERIFY(fake.keys().isEmpty());
    }

    void waitsForTheUsersModifiers()
    {
        FakeAutoTypePlatform fake;
        fake.active = 7;
        fake.heldModifierQueries = 3; // the user lets go of Ctrl+Alt a moment after the shortcut
        autotype::Typist typist(fake);
        QSignalSpy done(&typist, &autotype::Typist::finished);
        QVERIFY(typist.start(7, planOf(QStringLiteral("a")), false));
        QVERIFY(done.wait(5000));
        QCOMPARE(fake.heldModifierQueries, 0);
        QCOMPARE(fake.keys(), QStringList{"a"});
    }

    void releasesModifiersStillHeldAfterTheWait()
    {
        FakeAutoTypePlatform fake;
        fake.active = 7;
        fake.heldModifierQueries = 1000000;
        const int before = autotype::Typist::ModifierWaitMs;
        autotype::Typist::ModifierWaitMs = 50;
        autotype::Typist typist(fake);
        QSignalSpy done(&typist, &autotype::Typist::finished);
        QVERIFY(typist.start(7, planOf(QStringLiteral("a")), false));
        QVERIFY(done.wait(5000));
        autotype::Typist::ModifierWaitMs = before;
        QCOMPARE(fake.log.mid(fake.log.indexOf(QStringLiteral("release"))).first(2), (QStringList{"release", "key a"}));
    }

    void pausesOfTheSequence()
    {
        FakeAutoTypePlatform fake;
        fake.active = 7;
        autotype::Typist typist(fake);
        QElapsedTimer clock;
        qint64 secondKeyAt = -1;
        connect(&typist, &autotype::Typist::keyTyped, this, [&](int index) {
            if (index == 1)
                secondKeyAt = clock.elapsed();
        });
        QSignalSpy done(&typist, &autotype::Typist::finished);
        clock.start();
        QVERIFY(typist.start(7, planOf(QStringLiteral("ab"), {{1, 120}, {1, 80}}), false));
        QVERIFY(done.wait(5000));
        QCOMPARE(fake.keys(), (QStringList{"a", "b"}));
        QVERIFY2(secondKeyAt >= 200, qPrintable(QString::number(secondKeyAt)));
    }

    void activatesTheTargetFirst()
    {
        FakeAutoTypePlatform fake;
        fake.active = 1; // our own window
        autotype::Typist typist(fake);
        QSignalSpy done(&typist, &autotype::Typist::finished);
        QVERIFY(typist.start(7, planOf(QStringLiteral("a")), true));
        QVERIFY(done.wait(5000));
        QCOMPARE(done.first().first().value<Outcome>(), Outcome::Typed);
        QVERIFY(fake.log.indexOf(QStringLiteral("activate 7")) < fake.log.indexOf(QStringLiteral("key a")));
    }

    void targetThatNeverComesBack()
    {
        FakeAutoTypePlatform fake;
        fake.active = 1;
        fake.activationWorks = false;
        const int before = autotype::Typist::ActivationTimeoutMs;
        autotype::Typist::ActivationTimeoutMs = 100;
        autotype::Typist typist(fake);
        QSignalSpy done(&typist, &autotype::Typist::finished);
        QVERIFY(typist.start(7, planOf(QStringLiteral("secret")), true));
        QVERIFY(done.wait(5000));
        autotype::Typist::ActivationTimeoutMs = before;
        QCOMPARE(done.first().first().value<Outcome>(), Outcome::TargetLost);
        QVERIFY(fake.keys().isEmpty());
    }

    void noSpareKeycode()
    {
        FakeAutoTypePlatform fake;
        fake.active = 7;
        fake.map.keysyms.resize(fake.map.keysyms.size() - 4); // the two spare keycodes go
        autotype::Typist typist(fake);
        QSignalSpy done(&typist, &autotype::Typist::finished);
        QVERIFY(typist.start(7, planOf(QStringLiteral("abé")), false));
        QVERIFY(done.wait(5000));
        QCOMPARE(done.first().first().value<Outcome>(), Outcome::NoSpareKey);
        QVERIFY(fake.keys().isEmpty());
    }

    void rebindsOnlyAfterAPause()
    {
        FakeAutoTypePlatform fake;
        fake.active = 7;
        autotype::Typist typist(fake);
        QSignalSpy done(&typist, &autotype::Typist::finished);
        QVERIFY(typist.start(7, planOf(QStringLiteral("éüö")), false));
        QVERIFY(done.wait(5000));
        const QStringList expected{"bind 200 eacute Eacute", "bind 201 udiaeresis Udiaeresis", "key eacute",
                                   "key udiaeresis",         "bind 200 odiaeresis Odiaeresis", "key odiaeresis"};
        QStringList seen;
        for (const QString& line : fake.log)
            if (line.startsWith(QLatin1String("bind")) || line.startsWith(QLatin1String("key")))
                seen << line;
        QCOMPARE(seen, expected);
    }
};

QTEST_GUILESS_MAIN(TestTypist)
#include "tst_typist.moc"
