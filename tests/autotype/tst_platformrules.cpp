// Where auto-type can work (X11, XWayland, Wayland alone, no display) and how a shortcut becomes
// the X key and modifiers that are grabbed.

#include "autotype/Platform.h"

#include <QtTest>

Q_DECLARE_METATYPE(autotype::Availability)

class TestPlatformRules : public QObject
{
    Q_OBJECT
private slots:
    void availability_data()
    {
        using A = autotype::Availability;
        QTest::addColumn<QString>("platform");
        QTest::addColumn<bool>("display");
        QTest::addColumn<bool>("wayland");
        QTest::addColumn<A>("expected");
        QTest::newRow("X11 session") << "xcb" << true << false << A::X11;
        QTest::newRow("X11 program in a Wayland session") << "xcb" << true << true << A::X11;
        QTest::newRow("Wayland with XWayland") << "wayland" << true << true << A::X11;
        QTest::newRow("Wayland without XWayland") << "wayland" << false << true << A::WaylandOnly;
        QTest::newRow("WAYLAND_DISPLAY, no DISPLAY") << "offscreen" << false << true << A::WaylandOnly;
        // A program drawn offscreen (the tests) never takes the keyboard of a display it happens to find.
        QTest::newRow("offscreen with a DISPLAY") << "offscreen" << true << false << A::None;
        QTest::newRow("nothing") << "minimal" << false << false << A::None;
    }
    void availability()
    {
        QFETCH(QString, platform);
        QFETCH(bool, display);
        QFETCH(bool, wayland);
        QFETCH(autotype::Availability, expected);
        QCOMPARE(autotype::availabilityFor(platform, display, wayland), expected);
    }

    void shortcutKeys_data()
    {
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<uint>("keysym");
        QTest::addColumn<uint>("mask");
        QTest::newRow("default") << "Ctrl+Alt+A" << true << uint('a') << uint(0x4 | 0x8);
        QTest::newRow("shift and super") << "Shift+Meta+K" << true << uint('k') << uint(0x1 | 0x40);
        QTest::newRow("function key") << "Ctrl+F9" << true << 0xffc6u << 0x4u;
        QTest::newRow("digit") << "Alt+7" << true << uint('7') << 0x8u;
        QTest::newRow("only the first chord") << "Ctrl+Alt+A, Ctrl+B" << true << uint('a') << uint(0x4 | 0x8);
        QTest::newRow("empty") << "" << false << 0u << 0u;
        QTest::newRow("a key X has no keysym for here") << "Ctrl+Launch0" << false << 0u << 0u;
    }
    void shortcutKeys()
    {
        QFETCH(QString, shortcut);
        QFETCH(bool, ok);
        QFETCH(uint, keysym);
        QFETCH(uint, mask);
        quint32 sym = 0;
        unsigned m = 0;
        QCOMPARE(autotype::shortcutKeysym(QKeySequence::fromString(shortcut, QKeySequence::PortableText), &sym, &m),
                 ok);
        if (ok) {
            QCOMPARE(uint(sym), keysym);
            QCOMPARE(uint(m), mask);
        }
    }
};

QTEST_GUILESS_MAIN(TestPlatformRules)
#include "tst_platformrules.moc"
