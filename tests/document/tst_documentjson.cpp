#include "document/DocumentJson.h"
#include "support/DocumentFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <cstring>

class TestDocumentJson : public QObject
{
    Q_OBJECT

private slots:
    void exportHasTheDocumentedShape();
    void roundTripKeepsEveryFieldAndDate();
    void valuesAreWrittenAsQtWritesThem_data();
    void valuesAreWrittenAsQtWritesThem();
    void headerMayBeLeftOut();
    void errorsNameThePlace_data();
    void errorsNameThePlace();
};

void TestDocumentJson::exportHasTheDocumentedShape()
{
    DocumentState doc;
    testsupport::buildRichDocument(doc);
    const QByteArray text = docjson::toJson(doc);
    QJsonParseError parseError;
    const QJsonObject root = QJsonDocument::fromJson(text, &parseError).object();
    QCOMPARE(parseError.error, QJsonParseError::NoError);
    QCOMPARE(root.keys(), (QStringList{"entries", "groups", "header"}));

    // Fields come in the documented order, not sorted.
    QStringList order;
    auto it = QRegularExpression(QStringLiteral("\"(\\w+)\":")).globalMatch(QString::fromUtf8(text));
    while (it.hasNext() && order.size() < 32)
        order << it.next().captured(1);
    QCOMPARE(order.join(' '), QStringLiteral("header formatVersion saveCount saveDate createDate reserved1 reserved2 "
                                             "syncOn useFtpEntry serverName portNumber passiveMode remotePath "
                                             "userName userPassword groups name parent name parent name parent "
                                             "name parent name parent name parent name parent entries group"));
    QVERIFY(text.indexOf("\"entries\": [") > text.indexOf("\"groups\": ["));
    QVERIFY(text.indexOf("\"isFtpEntry\"") > text.indexOf("\"modifiedAt\""));

    // An empty document is valid JSON too.
    DocumentState empty;
    const QJsonObject emptyRoot = QJsonDocument::fromJson(docjson::toJson(empty), &parseError).object();
    QCOMPARE(parseError.error, QJsonParseError::NoError);
    QVERIFY(emptyRoot.value("groups").toArray().isEmpty() && emptyRoot.value("entries").isArray());

    QStringList headerKeys = root.value("header").toObject().keys();
    headerKeys.sort();
    QStringList expected{"formatVersion", "saveCount",  "saveDate",    "createDate",  "reserved1",
                         "reserved2",     "syncOn",     "useFtpEntry", "serverName",  "portNumber",
                         "passiveMode",   "remotePath", "userName",    "userPassword"};
    expected.sort();
    QCOMPARE(headerKeys, expected);
    QCOMPARE(root.value("header").toObject().value("portNumber").toInt(), 2121);
    QCOMPARE(root.value("header").toObject().value("formatVersion").toInt(), 7);

    // Groups in document order with parent indices: Web, Mail, Deep, Shops, Banque, Empty, Aaa last.
    const QJsonArray groups = root.value("groups").toArray();
    QCOMPARE(groups.size(), 7);
    QStringList shape;
    for (const QJsonValue& g : groups) {
        const QJsonValue parent = g.toObject().value("parent");
        shape << g.toObject().value("name").toString().left(4) + QLatin1Char('<') +
                     (parent.isNull() ? QStringLiteral("null") : QString::number(parent.toInt()));
        QCOMPARE(g.toObject().keys(), (QStringList{"name", "parent"}));
    }
    QCOMPARE(shape.join(' '), QStringLiteral("Web<null Mail<0 Deep<1 Shop<0 Banq<null Empt<4 Aaa <null"));

    const QJsonArray entries = root.value("entries").toArray();
    QCOMPARE(entries.size(), doc.entryCount());
    const QJsonObject first = entries.at(0).toObject();
    QCOMPARE(first.keys(), (QStringList{"created", "group", "isFtpEntry", "login", "modifiedAt", "name", "notes",
                                        "password", "webAddress"}));
    QCOMPARE(first.value("group").toInt(), 4); // "bank one" is in Banque
    QCOMPARE(first.value("notes").toString(), doc.entry(0)->Notes);
    QVERIFY(entries.at(4).toObject().value("group").isNull()); // "no group"
    QVERIFY(entries.at(3).toObject().value("isFtpEntry").toBool());
}

void TestDocumentJson::roundTripKeepsEveryFieldAndDate()
{
    DocumentState doc;
    testsupport::buildRichDocument(doc);
    // (The sign of a zero is not kept: both zeros mean "not recorded".)
    const double awkward[] = {0.1 + 0.2, 45123.678901234567, 1e-300, -2.25, 5e-324, 1.7976931348623157e308, 2.0};
    for (int i = 0; i < 7; ++i) {
        doc.entry(i % doc.entryCount())->Created = awkward[i];
        doc.entry((i + 3) % doc.entryCount())->ModifiedAt = awkward[6 - i];
    }
    doc.LocalDoc.SaveDate = 45000.123456789012;
    doc.LocalDoc.SaveCount = -5;
    doc.LocalDoc.PortNumber = std::numeric_limits<qint32>::max();
    // Characters outside Windows-1252 survive JSON (the file format is what turns them into "?").
    doc.entry(1)->Password = QStringLiteral("\u65e5\U0001F511\"\\\n\t");

    DocumentState back;
    QString error;
    QVERIFY2(docjson::fromJson(docjson::toJson(doc), back, &error), qPrintable(error));
    QCOMPARE(testsupport::compareHeaders(back.LocalDoc, doc.LocalDoc), QString());
    QCOMPARE(testsupport::compareContent(back, doc), QString());
}

namespace {

// The text after "name": on its line in json, without the comma that ends the line.
QByteArray fieldText(const QByteArray& json, const QByteArray& name)
{
    const QByteArray key = "\"" + name + "\": ";
    const qsizetype start = json.indexOf(key);
    if (start < 0)
        return "(missing)";
    QByteArray value = json.mid(start + key.size());
    value.truncate(value.indexOf('\n'));
    if (value.endsWith(','))
        value.chop(1);
    return value;
}

// One value as Qt's own JSON writer puts it.
QByteArray qtText(const QJsonValue& value)
{
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

} // namespace

void TestDocumentJson::valuesAreWrittenAsQtWritesThem_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("date");
    QTest::newRow("plain") << QStringLiteral("secret") << 45123.5;
    QTest::newRow("quotes and backslashes") << QStringLiteral("a\"b\\c/d") << 0.0;
    QTest::newRow("named escapes") << QStringLiteral("\b\f\n\r\t") << -2.25;
    QTest::newRow("other controls") << QString::fromLatin1("\x01\x1f\x7f", 3) << 0.1 + 0.2;
    QTest::newRow("nul") << QString(QChar(0)) << 5e-324;
    QTest::newRow("latin and euro") << QStringLiteral("\u00e9\u00ff\u20ac\u0152") << 1.7976931348623157e308;
    QTest::newRow("three-byte forms") << QStringLiteral("\u0800\u65e5\uffff\u2028") << 1e16;
    QTest::newRow("outside the basic plane") << QStringLiteral("x\U0001F511\U0010FFFFy") << 45000.123456789012;
    QTest::newRow("whole date") << QString() << 46366.0;
    QTest::newRow("negative zero") << QString() << -0.0;
    QTest::newRow("not a number") << QString() << std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("infinite") << QString() << -std::numeric_limits<double>::infinity();
}

void TestDocumentJson::valuesAreWrittenAsQtWritesThem()
{
    QFETCH(QString, text);
    QFETCH(double, date);
    DocumentState doc;
    auto e = std::make_unique<TFeuille>();
    e->Password = text;
    e->Created = date;
    doc.appendEntry(std::move(e));
    doc.LocalDoc.UserPassword = text;
    const QByteArray json = docjson::toJson(doc);
    QCOMPARE(fieldText(json, "password"), qtText(text));
    QCOMPARE(fieldText(json, "userPassword"), qtText(text));
    QCOMPARE(fieldText(json, "created"), qtText(date));

    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(json, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonObject entry = root.value("entries").toArray().at(0).toObject();
    QCOMPARE(entry.value("password").toString(), text);
    if (std::isfinite(date))
        QCOMPARE(entry.value("created").toDouble(), date);
    else
        QVERIFY(entry.value("created").isNull());
}

void TestDocumentJson::headerMayBeLeftOut()
{
    DocumentState doc;
    const DateTime before = datetime::now();
    QString error;
    QVERIFY2(docjson::fromJson(R"({"groups": [{"name": "A"}, {"name": "B", "parent": 0}],
                                  "entries": [{"group": 1, "name": "e", "isFtpEntry": true}, {"name": "f"}]})",
                               doc, &error),
             qPrintable(error));
    QCOMPARE(doc.LocalDoc.SaveCount, 0);
    QCOMPARE(doc.LocalDoc.PortNumber, 21);
    QVERIFY(doc.LocalDoc.SaveDate >= before);
    QVERIFY(doc.LocalDoc.CreateDate >= before);
    QCOMPARE(doc.groupCount(), 2);
    QCOMPARE(doc.findGroup(doc.entry(0)->Group)->Name, QStringLiteral("B"));
    QCOMPARE(doc.findGroup(doc.entry(0)->Group)->Parent->Name, QStringLiteral("A"));
    QCOMPARE(doc.entry(1)->Group, 0u);
    QCOMPARE(doc.entry(1)->Created, 0.0);
    QCOMPARE(doc.FtpEntryIndex(), 0);

    // A date that is not a finite number (only a damaged file holds one) is exported as null,
    // which reads as 0, "not recorded".
    doc.entry(1)->Created = std::numeric_limits<double>::quiet_NaN();
    doc.entry(1)->ModifiedAt = std::numeric_limits<double>::infinity();
    DocumentState back;
    QVERIFY2(docjson::fromJson(docjson::toJson(doc), back, &error), qPrintable(error));
    QCOMPARE(back.entry(1)->Created, 0.0);
    QCOMPARE(back.entry(1)->ModifiedAt, 0.0);

    QVERIFY(docjson::fromJson("{}", doc, &error));
    QCOMPARE(doc.groupCount(), 0);
    QCOMPARE(doc.entryCount(), 0);
}

void TestDocumentJson::errorsNameThePlace_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("error");
    QTest::newRow("syntax") << QByteArray(R"({"groups": [)") << "JSON syntax error at offset 12: unterminated array";
    QTest::newRow("not an object") << QByteArray("[1]") << "document: expected an object";
    QTest::newRow("unknown top-level field") << QByteArray(R"({"group": []})") << "document: unknown field \"group\"";
    QTest::newRow("header not an object") << QByteArray(R"({"header": 3})") << "header: expected an object";
    QTest::newRow("header wrong type") << QByteArray(R"({"header": {"syncOn": 1}})")
                                       << "header.syncOn: expected true or false";
    QTest::newRow("port not whole") << QByteArray(R"({"header": {"portNumber": 21.5}})")
                                    << "header.portNumber: expected a whole number of 32 bits";
    QTest::newRow("counter too large") << QByteArray(R"({"header": {"saveCount": 2147483648}})")
                                       << "header.saveCount: expected a whole number of 32 bits";
    QTest::newRow("date as text") << QByteArray(R"({"header": {"saveDate": "today"}})")
                                  << "header.saveDate: expected a number";
    QTest::newRow("groups not an array") << QByteArray(R"({"groups": {}})") << "groups: expected an array";
    QTest::newRow("group not an object") << QByteArray(R"({"groups": [{"name": "a"}, "b"]})")
                                         << "groups[1]: expected an object";
    QTest::newRow("parent after child") << QByteArray(R"({"groups": [{"name": "a", "parent": 1}, {"name": "b"}]})")
                                        << "groups[0].parent: index 1 does not come before this group";
    QTest::newRow("parent is itself") << QByteArray(R"({"groups": [{"name": "a"}, {"name": "b", "parent": 1}]})")
                                      << "groups[1].parent: index 1 does not come before this group";
    QTest::newRow("negative parent") << QByteArray(R"({"groups": [{"name": "a", "parent": -1}]})")
                                     << "groups[0].parent: expected an index or null";
    QTest::newRow("misspelt entry field")
        << QByteArray(R"({"entries": [{"name": "a"}, {"name": "b"}, {"pasword": "x"}]})")
        << "entries[2]: unknown field \"pasword\"";
    QTest::newRow("group out of range") << QByteArray(
                                               R"({"groups": [{"name": "g"}], "entries": [{}, {}, {}, {"group": 7}]})")
                                        << "entries[3].group: index 7 out of range";
    QTest::newRow("group index as text") << QByteArray(R"({"groups": [{"name": "g"}], "entries": [{"group": "0"}]})")
                                         << "entries[0].group: expected an index or null";
    QTest::newRow("password not a string")
        << QByteArray(R"({"entries": [{"password": 1234}]})") << "entries[0].password: expected a string";
}

void TestDocumentJson::errorsNameThePlace()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, error);
    DocumentState doc;
    testsupport::buildRichDocument(doc);
    DocumentState reference;
    testsupport::buildRichDocument(reference);
    QString got;
    QVERIFY(!docjson::fromJson(json, doc, &got));
    QCOMPARE(got, error);
    QCOMPARE(testsupport::compareContent(doc, reference), QString());
    QCOMPARE(testsupport::compareHeaders(doc.LocalDoc, reference.LocalDoc), QString());
}

QTEST_GUILESS_MAIN(TestDocumentJson)
#include "tst_documentjson.moc"
