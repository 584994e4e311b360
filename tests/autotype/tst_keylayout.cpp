// The layout mapping: which keysym types each character, when the layout has it and when it goes
// through a spare keycode bound for the typing (both cases of a letter on one keycode), and how
// spare keycodes are reused when there are fewer than characters to bind.

#include "autotype/KeyLayout.h"

#include <QtTest>

namespace {

// A small layout: "a..z" with capitals, digits, space, Tab, Return, and `spare` empty keycodes
// from 100. With `euro`, the key of 'e' carries the euro sign on its third level, as many
// European layouts do.
autotype::KeyboardMap layout(int spare, bool euro = false)
{
    autotype::KeyboardMap map;
    map.minKeycode = 10;
    map.keysymsPerKeycode = 4;
    auto add = [&map](quint32 a, quint32 b, quint32 c = 0, quint32 d = 0) {
        for (quint32 s : {a, b, c, d})
            map.keysyms.push_back(s);
    };
    for (char c = 'a'; c <= 'z'; ++c)
        add(quint32(c), quint32(c - 'a' + 'A'), c == 'e' && euro ? 0x20ac : 0);
    for (char c = '0'; c <= '9'; ++c)
        add(quint32(c), 0);
    add(0x20, 0);
    add(0xff09, 0); // Tab
    add(0xff0d, 0); // Return
    while (map.minKeycode + map.keycodeCount() < 100)
        add(0xffe1, 0); // Shift_L: occupied
    for (int i = 0; i < spare; ++i)
        add(0, 0);
    return map;
}

// "name" for a key of the layout, "name@keycode" for one on a spare keycode.
QStringList strokes(const autotype::KeyPlan& plan)
{
    QStringList out;
    for (const autotype::KeyStroke& s : plan.strokes) {
        QString text = autotype::keysymName(s.keysym);
        if (s.binding >= 0)
            text += QStringLiteral("@%1").arg(plan.bindings[size_t(s.binding)].keycode);
        out << text;
    }
    return out;
}

// "keycode:lower/upper" and a "!" when the keycode changes its characters mid-typing.
QStringList bindings(const autotype::KeyPlan& plan)
{
    QStringList out;
    for (const autotype::SpareBinding& b : plan.bindings)
        out << QStringLiteral("%1:%2/%3@%4%5")
                   .arg(b.keycode)
                   .arg(autotype::keysymName(b.lower), autotype::keysymName(b.upper))
                   .arg(b.firstStroke)
                   .arg(b.rebinds ? QStringLiteral("!") : QString());
    return out;
}

} // namespace

class TestKeyLayout : public QObject
{
    Q_OBJECT
private slots:
    void keysyms_data();
    void keysyms();
    void spareKeycodes();
    void planning_data();
    void planning();
    void noSpareKeycode();
    void wipeEmpties();
};

void TestKeyLayout::keysyms_data()
{
    QTest::addColumn<uint>("character");
    QTest::addColumn<QString>("name");
    QTest::newRow("letter") << uint('a') << "a";
    QTest::newRow("space") << uint(' ') << "space";
    QTest::newRow("tab") << uint('\t') << "Tab";
    QTest::newRow("line break") << uint('\n') << "Return";
    QTest::newRow("Latin-1") << uint(0xe9) << "eacute";
    QTest::newRow("sharp s") << uint(0xdf) << "ssharp";
    QTest::newRow("euro") << uint(0x20ac) << "EuroSign";
    QTest::newRow("Latin Extended") << uint(0x100) << "Amacron";
    QTest::newRow("Greek") << uint(0x3a9) << "Greek_OMEGA";
    QTest::newRow("no legacy keysym") << uint(0x1f511) << "U0001F511";
}

void TestKeyLayout::keysyms()
{
    QFETCH(uint, character);
    QFETCH(QString, name);
    QCOMPARE(autotype::keysymName(autotype::keysymOf(char32_t(character))), name);
}

void TestKeyLayout::spareKeycodes()
{
    const autotype::KeyboardMap map = layout(3);
    QCOMPARE(map.spareKeycodes(), (std::vector<int>{100, 101, 102}));
    QCOMPARE(layout(0).spareKeycodes(), std::vector<int>{});
}

void TestKeyLayout::planning_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("spare");
    QTest::addColumn<bool>("euro");
    QTest::addColumn<QStringList>("strokes");
    QTest::addColumn<QStringList>("bindings");

    QTest::newRow("all on the layout") << "aB1 \t\n"
                                       << 4 << false << QStringList{"a", "B", "1", "space", "Tab", "Return"}
                                       << QStringList{};
    // É and é share one keycode, bound lower then upper: Shift gives the capital.
    QTest::newRow("accented letters absent from the layout")
        << "éÉü" << 4 << false << QStringList{"eacute@100", "Eacute@100", "udiaeresis@101"}
        << QStringList{"100:eacute/Eacute@0", "101:udiaeresis/Udiaeresis@2"};
    QTest::newRow("a sign without case") << "€ß" << 4 << false << QStringList{"EuroSign@100", "ssharp@101"}
                                         << QStringList{"100:EuroSign/EuroSign@0", "101:ssharp/ssharp@1"};
    QTest::newRow("the layout's own euro key") << "€e" << 4 << true << QStringList{"EuroSign", "e"} << QStringList{};
    QTest::newRow("outside the basic plane")
        << QString::fromUtf8("x\xf0\x9f\x94\x91x") << 1 << false << QStringList{"x", "U0001F511@100", "x"}
        << QStringList{"100:U0001F511/U0001F511@1"};
    // Two spare keycodes for three characters: the third takes the keycode used longest ago,
    // which must wait for the target to read its earlier key; é comes back on a keycode again.
    QTest::newRow("fewer spare keycodes than characters")
        << "éüéöé" << 2 << false
        << QStringList{"eacute@100", "udiaeresis@101", "eacute@100", "odiaeresis@101", "eacute@100"}
        << QStringList{"100:eacute/Eacute@0", "101:udiaeresis/Udiaeresis@1", "101:odiaeresis/Odiaeresis@3!"};
    QTest::newRow("a character comes back after its keycode was reused")
        << "éüöé" << 2 << false << QStringList{"eacute@100", "udiaeresis@101", "odiaeresis@100", "eacute@101"}
        << QStringList{"100:eacute/Eacute@0", "101:udiaeresis/Udiaeresis@1", "100:odiaeresis/Odiaeresis@2!",
                       "101:eacute/Eacute@3!"};
}

void TestKeyLayout::planning()
{
    QFETCH(QString, text);
    QFETCH(int, spare);
    QFETCH(bool, euro);
    QFETCH(QStringList, strokes);
    QFETCH(QStringList, bindings);
    const autotype::KeyPlan plan = autotype::planKeys(text, layout(spare, euro));
    QVERIFY(plan.ok);
    QCOMPARE(::strokes(plan), strokes);
    QCOMPARE(::bindings(plan), bindings);
}

void TestKeyLayout::noSpareKeycode()
{
    // Nothing is half typed: without a keycode to bind, the plan is refused whole.
    const autotype::KeyPlan plan = autotype::planKeys(QStringLiteral("abé"), layout(0));
    QVERIFY(!plan.ok);
    QVERIFY(plan.strokes.empty());
    QVERIFY(autotype::planKeys(QStringLiteral("abc"), layout(0)).ok);
}

void TestKeyLayout::wipeEmpties()
{
    autotype::KeyPlan plan = autotype::planKeys(QStringLiteral("pé"), layout(2));
    QCOMPARE(plan.strokes.size(), size_t(2));
    plan.wipe();
    QVERIFY(plan.strokes.empty() && plan.bindings.empty());
}

QTEST_GUILESS_MAIN(TestKeyLayout)
#include "tst_keylayout.moc"
