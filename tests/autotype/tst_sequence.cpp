// The auto-type sequence: every placeholder, the errors that refuse a sequence (nothing typed),
// the sequence an entry's notes choose, and the characters and pauses a sequence types.

#include "autotype/Sequence.h"
#include "crypto/SecureBytes.h"
#include "document/DocumentModel.h"

#include <QtTest>

namespace {

// The items as short words: "text:abc", "user", "pass", "url", "totp", "tab", "enter", "delay:N".
QStringList described(const autotype::ParsedSequence& parsed)
{
    using K = autotype::SequenceItem;
    QStringList out;
    for (const K& item : parsed.items) {
        switch (item.kind) {
        case K::Text:
            out << QStringLiteral("text:") + item.text;
            break;
        case K::Username:
            out << QStringLiteral("user");
            break;
        case K::Password:
            out << QStringLiteral("pass");
            break;
        case K::Url:
            out << QStringLiteral("url");
            break;
        case K::Totp:
            out << QStringLiteral("totp");
            break;
        case K::Tab:
            out << QStringLiteral("tab");
            break;
        case K::Enter:
            out << QStringLiteral("enter");
            break;
        case K::Delay:
            out << QStringLiteral("delay:%1").arg(item.ms);
            break;
        }
    }
    return out;
}

TFeuille entryWith(const QString& login, const QString& password, const QString& notes = QString())
{
    TFeuille e;
    e.Name = QStringLiteral("Bank");
    e.Login = login;
    e.Password = password;
    e.WebAddress = QStringLiteral("https://bank.example");
    e.Notes = notes;
    return e;
}

QList<QByteArray> wiped;
void noteWipe(const void* begin, qsizetype bytes)
{
    wiped << QByteArray(static_cast<const char*>(begin), bytes);
}

} // namespace

Q_DECLARE_METATYPE(autotype::ParsedSequence::Error)

class TestSequence : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void errors_data();
    void errors();
    void sequenceOfEntry();
    void typesPasswordOrCode();
    void plan_data();
    void plan();
    void controlCharactersRefused_data();
    void controlCharactersRefused();
    void planIsWiped();
};

void TestSequence::parse_data()
{
    QTest::addColumn<QString>("sequence");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("default") << QString::fromLatin1(autotype::kDefaultSequence)
                             << QStringList{"user", "tab", "pass", "enter"};
    QTest::newRow("every placeholder") << "{USERNAME}{PASSWORD}{URL}{TOTP}{TAB}{ENTER}{DELAY=250}"
                                       << QStringList{"user", "pass", "url", "totp", "tab", "enter", "delay:250"};
    QTest::newRow("letter case of names") << "{username}{Tab}{Delay=0}" << QStringList{"user", "tab", "delay:0"};
    QTest::newRow("literal text around") << "id: {USERNAME} ok}" << QStringList{"text:id: ", "user", "text: ok}"};
    QTest::newRow("largest delay") << "{DELAY=10000}" << QStringList{"delay:10000"};
    QTest::newRow("empty") << "" << QStringList{};
}

void TestSequence::parse()
{
    QFETCH(QString, sequence);
    QFETCH(QStringList, items);
    const autotype::ParsedSequence parsed = autotype::parseSequence(sequence);
    QVERIFY(parsed.ok());
    QCOMPARE(described(parsed), items);
}

void TestSequence::errors_data()
{
    using E = autotype::ParsedSequence;
    QTest::addColumn<QString>("sequence");
    QTest::addColumn<E::Error>("error");
    QTest::addColumn<QString>("placeholder");
    QTest::newRow("unknown") << "{USERNAME}{TAB}{PASWORD}{ENTER}" << E::UnknownPlaceholder << "{PASWORD}";
    QTest::newRow("empty braces") << "{}" << E::UnknownPlaceholder << "{}";
    QTest::newRow("KeePass key names are not ours") << "{USERNAME}{SPACE}" << E::UnknownPlaceholder << "{SPACE}";
    QTest::newRow("delay too long") << "{DELAY=10001}" << E::BadDelay << "{DELAY=10001}";
    QTest::newRow("delay without digits") << "{DELAY=}" << E::BadDelay << "{DELAY=}";
    QTest::newRow("negative delay") << "{DELAY=-5}" << E::BadDelay << "{DELAY=-5}";
    QTest::newRow("delay with a space") << "{DELAY= 5}" << E::BadDelay << "{DELAY= 5}";
    QTest::newRow("huge delay") << "{DELAY=99999999999}" << E::BadDelay << "{DELAY=99999999999}";
    QTest::newRow("unclosed") << "{USERNAME}{TAB" << E::Unclosed << "{TAB";
    QTest::newRow("too long") << QString(autotype::kMaxSequenceLength + 1, QLatin1Char('x')) << E::TooLong << "";
}

void TestSequence::errors()
{
    using E = autotype::ParsedSequence;
    QFETCH(QString, sequence);
    QFETCH(E::Error, error);
    QFETCH(QString, placeholder);
    const autotype::ParsedSequence parsed = autotype::parseSequence(sequence);
    QCOMPARE(parsed.error, error);
    QCOMPARE(parsed.placeholder, placeholder);
    // Nothing of a refused sequence is typed.
    QVERIFY(parsed.items.empty());
}

void TestSequence::sequenceOfEntry()
{
    QCOMPARE(autotype::sequenceOf(entryWith("u", "p")), QString::fromLatin1(autotype::kDefaultSequence));
    QCOMPARE(autotype::sequenceOf(entryWith("u", "p",
                                            "Auto-Type-Window: x\r\nAuto-Type: {PASSWORD}{ENTER}\r\n"
                                            "Auto-Type: {USERNAME}")),
             QStringLiteral("{PASSWORD}{ENTER}"));
    // An empty line is no sequence: the default stands.
    QCOMPARE(autotype::sequenceOf(entryWith("u", "p", "Auto-Type:   ")),
             QString::fromLatin1(autotype::kDefaultSequence));
}

void TestSequence::typesPasswordOrCode()
{
    QVERIFY(autotype::typesPassword(autotype::parseSequence(QString::fromLatin1(autotype::kDefaultSequence))));
    QVERIFY(!autotype::typesPassword(autotype::parseSequence(QStringLiteral("{USERNAME}{TAB}{TOTP}"))));
    QVERIFY(autotype::typesOneTimeCode(autotype::parseSequence(QStringLiteral("{USERNAME}{TAB}{TOTP}"))));
    QVERIFY(!autotype::typesOneTimeCode(autotype::parseSequence(QStringLiteral("{password}"))));
}

void TestSequence::plan_data()
{
    QTest::addColumn<QString>("sequence");
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pauses"); // "index:ms ..."
    QTest::newRow("default") << QString::fromLatin1(autotype::kDefaultSequence) << "alice"
                             << "pässwörd€ß"
                             << "alice\tpässwörd€ß\n"
                             << "";
    QTest::newRow("url, code and pauses") << "{URL}{DELAY=100}{TAB}{TOTP}{DELAY=5}{DELAY=7}"
                                          << "a"
                                          << "b"
                                          << "https://bank.example\t123456"
                                          << "20:100 27:5 27:7";
    QTest::newRow("line breaks of a field") << "{USERNAME}"
                                            << "one\r\ntwo\rthree\nfour"
                                            << ""
                                            << "one\ntwo\nthree\nfour"
                                            << "";
    QTest::newRow("literal text") << "x{USERNAME}-{PASSWORD}"
                                  << "u"
                                  << "p"
                                  << "xu-p"
                                  << "";
    QTest::newRow("outside the basic plane")
        << "{PASSWORD}"
        << "" << QString::fromUtf8("a\xf0\x9f\x94\x91") << QString::fromUtf8("a\xf0\x9f\x94\x91") << "";
}

void TestSequence::plan()
{
    QFETCH(QString, sequence);
    QFETCH(QString, login);
    QFETCH(QString, password);
    QFETCH(QString, text);
    QFETCH(QString, pauses);
    autotype::TypingPlan plan;
    const autotype::PlanResult r = autotype::buildPlan(autotype::parseSequence(sequence), entryWith(login, password),
                                                       QStringLiteral("123456"), plan);
    QCOMPARE(r.error, autotype::PlanResult::None);
    QCOMPARE(plan.text, text);
    QStringList p;
    for (const auto& [at, ms] : plan.pauses)
        p << QStringLiteral("%1:%2").arg(at).arg(ms);
    QCOMPARE(p.join(QLatin1Char(' ')), pauses);
}

void TestSequence::controlCharactersRefused_data()
{
    using K = autotype::SequenceItem;
    QTest::addColumn<QString>("sequence");
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("field");
    QTest::newRow("password with a NUL") << "{USERNAME}{TAB}{PASSWORD}"
                                         << "u" << QStringLiteral("a") + QChar(0) + "b" << int(K::Password);
    QTest::newRow("login with an escape") << "{USERNAME}"
                                          << "u\x1b[A"
                                          << "" << int(K::Username);
    QTest::newRow("delete character") << "{PASSWORD}"
                                      << ""
                                      << "a\x7f" << int(K::Password);
    QTest::newRow("C1 control") << "{PASSWORD}"
                                << "" << QString(QChar(0x85)) << int(K::Password);
}

void TestSequence::controlCharactersRefused()
{
    QFETCH(QString, sequence);
    QFETCH(QString, login);
    QFETCH(QString, password);
    QFETCH(int, field);
    autotype::TypingPlan plan;
    const autotype::PlanResult r =
        autotype::buildPlan(autotype::parseSequence(sequence), entryWith(login, password), QString(), plan);
    QCOMPARE(r.error, autotype::PlanResult::ControlCharacter);
    QCOMPARE(int(r.field), field);
    QVERIFY(plan.text.isEmpty());
}

void TestSequence::planIsWiped()
{
    wiped.clear();
    setTextWipeObserver(noteWipe);
    {
        autotype::TypingPlan plan;
        QVERIFY(autotype::buildPlan(autotype::parseSequence(QStringLiteral("{PASSWORD}")), entryWith("u", "hunter2"),
                                    QString(), plan)
                    .error == autotype::PlanResult::None);
        QCOMPARE(plan.text, QStringLiteral("hunter2"));
        autotype::TypingPlan moved = std::move(plan);
        QCOMPARE(moved.text, QStringLiteral("hunter2"));
    }
    setTextWipeObserver(nullptr);
    // The buffer that held the password was cleared before it was released.
    bool cleared = false;
    for (const QByteArray& bytes : wiped)
        cleared = cleared || (bytes.size() >= qsizetype(7 * sizeof(QChar)) && bytes.count('\0') == bytes.size());
    QVERIFY(cleared);
}

QTEST_GUILESS_MAIN(TestSequence)
#include "tst_sequence.moc"
