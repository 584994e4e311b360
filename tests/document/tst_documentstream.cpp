#include "document/DocumentStream.h"
#include "platform/Win1252.h"
#include "support/DocumentFixture.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

using testsupport::MessageLog;
using testsupport::StreamBuilder;

namespace {

struct ReadOutcome
{
    HeaderResult header;
    RecordsResult records;
    QStringList messages;
};

// Header then records, as the open pipeline does.
ReadOutcome readAll(const QByteArray& stream, DocumentState& doc, bool append = false)
{
    ReadOutcome out;
    MessageLog log;
    StreamReader in(stream);
    if (!append)
        ResetDoc(doc.LocalDoc);
    out.header = ReadDocumentHeader(in, doc.LocalDoc, log.sink());
    if (out.header.ok)
        out.records = ReadDocumentRecords(in, out.header.firstTag, doc.LocalDoc.FormatVersion, doc, append, log.sink());
    out.messages = log.messages;
    return out;
}

QString groupPath(const TGroupe* g)
{
    QString p;
    for (; g; g = g->Parent)
        p = QLatin1Char('/') + g->Name + p;
    return p;
}

// "G/A G/A/B Ex@/A Ey@-": groups in document order, then entries with their group.
QString summary(const DocumentState& doc)
{
    QStringList parts;
    for (const TGroupe* g : doc.groupsInOrder())
        parts << QLatin1Char('G') + groupPath(g);
    for (const auto& e : doc.Entries()) {
        const TGroupe* g = doc.findGroup(e->Group);
        parts << QLatin1Char('E') + e->Name + QLatin1Char('@') + (g ? groupPath(g) : QStringLiteral("-"));
    }
    return parts.join(QLatin1Char(' '));
}

TFeuille named(const char* name)
{
    TFeuille e;
    e.Name = QString::fromLatin1(name);
    return e;
}

StreamBuilder v7(const TDoc& header = TDoc())
{
    StreamBuilder b;
    b.start(7).header(7, header);
    return b;
}

} // namespace

class TestDocumentStream : public QObject
{
    Q_OBJECT

private slots:
    void emptyDocumentIsExactBytes();
    void roundTripKeepsEverything();
    void unrepresentableCharactersBecomeQuestionMarks_data();
    void unrepresentableCharactersBecomeQuestionMarks();
    void readsEveryVersion_data();
    void readsEveryVersion();
    void damagedStreams_data();
    void damagedStreams();
    void headerRecoveryKeepsFieldsReadBefore();
    void streamEndingInMagicOrVersionFails_data();
    void streamEndingInMagicOrVersionFails();
    void cutFixedFieldKeepsEarlierBytes();
    void laterFtpMarkWins();
    void appendAddsToTheDocument();
    void hugeTextCountFailsWithoutAllocating();
    void everyPrefixAndByteFlipIsSafe();
    void deepNestingDoesNotExhaustTheStack();
};

void TestDocumentStream::emptyDocumentIsExactBytes()
{
    DocumentState doc;
    TDoc& d = doc.LocalDoc;
    d.SaveCount = 3;
    d.SaveDate = 1.5;
    d.Reserved1.clear();
    d.Reserved2 = QStringLiteral("r");
    d.CreateDate = -2.25;
    d.SyncOn = false;
    d.UseFtpEntry = true;
    d.ServerName.clear();
    d.PortNumber = 21;
    d.PassiveMode = true;
    d.RemotePath.clear();
    d.UserName = QStringLiteral("u");
    d.UserPassword.clear();

    QByteArray out;
    WriteDocumentStream(doc, out);
    const QByteArray expected = QByteArray::fromHex("545253"           // TRS
                                                    "20312e37"         // " 1.7"
                                                    "03000000"         // SaveCount
                                                    "000000000000f83f" // SaveDate 1.5
                                                    "00000000"         // Reserved1
                                                    "0100000072"       // Reserved2 "r"
                                                    "00000000000002c0" // CreateDate -2.25
                                                    "00"               // SyncOn
                                                    "01"               // UseFtpEntry
                                                    "00000000"         // ServerName
                                                    "15000000"         // PortNumber 21
                                                    "01"               // PassiveMode
                                                    "00000000"         // RemotePath
                                                    "0100000075"       // UserName "u"
                                                    "00000000"         // UserPassword
                                                    "46494e49");       // FINI
    QCOMPARE(out.toHex(), expected.toHex());

    DocumentState back;
    back.addGroup(QStringLiteral("to be replaced"));
    const ReadOutcome r = readAll(out, back);
    QVERIFY(r.header.ok);
    QVERIFY(r.records.ok);
    QCOMPARE(r.records.groups, 0);
    QCOMPARE(r.records.entries, 0);
    QCOMPARE(r.messages, QStringList());
    QCOMPARE(back.groupCount(), 0);
    QCOMPARE(back.entryCount(), 0);
    QCOMPARE(testsupport::compareHeaders(back.LocalDoc, d), QString());
    QCOMPARE(back.LocalDoc.FormatVersion, 7);
}

void TestDocumentStream::roundTripKeepsEverything()
{
    DocumentState doc;
    testsupport::buildRichDocument(doc);
    doc.LocalDoc.FormatVersion = 3; // a save keeps the version of the last read; the stream is 7
    QByteArray out;
    WriteDocumentStream(doc, out);

    DocumentState back;
    const ReadOutcome r = readAll(out, back);
    QVERIFY(r.header.ok);
    QVERIFY(r.records.ok);
    // The entry without a group is kept, after the message for its unknown identifier.
    QCOMPARE(r.messages, QStringList{QStringLiteral("ErreurHN")});
    QCOMPARE(r.records.groups, doc.groupCount());
    QCOMPARE(r.records.entries, doc.entryCount());
    QCOMPARE(back.LocalDoc.FormatVersion, 7);
    QCOMPARE(testsupport::compareHeaders(back.LocalDoc, doc.LocalDoc), QString());
    QCOMPARE(testsupport::compareContent(back, doc), QString());
}

void TestDocumentStream::unrepresentableCharactersBecomeQuestionMarks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("cjk") << QStringLiteral("\u65e5\u672c") << QStringLiteral("??");
    QTest::newRow("emoji is one character") << QStringLiteral("a\U0001F600b") << QStringLiteral("a?b");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QStringLiteral("?");
    QTest::newRow("C1 control of a defined byte") << QString(QChar(0x80)) << QStringLiteral("?");
    QTest::newRow("windows-1252 kept") << QStringLiteral("\u20ac\u0152\u017e\u00e9\u00ff")
                                       << QStringLiteral("\u20ac\u0152\u017e\u00e9\u00ff");
}

void TestDocumentStream::unrepresentableCharactersBecomeQuestionMarks()
{
    QFETCH(QString, name);
    QFETCH(QString, readBack);
    DocumentState doc;
    TGroupe* g = doc.addGroup(name);
    auto e = std::make_unique<TFeuille>();
    e->Group = g->Id;
    e->Name = name;
    e->Password = name;
    doc.appendEntry(std::move(e));
    doc.LocalDoc.UserPassword = name;

    QByteArray out;
    WriteDocumentStream(doc, out);
    DocumentState back;
    const ReadOutcome r = readAll(out, back);
    QVERIFY(r.records.ok);
    QCOMPARE(back.groupsInOrder().at(0)->Name, readBack);
    QCOMPARE(back.entry(0)->Name, readBack);
    QCOMPARE(back.entry(0)->Password, readBack);
    QCOMPARE(back.LocalDoc.UserPassword, readBack);
}

void TestDocumentStream::readsEveryVersion_data()
{
    QTest::addColumn<int>("version");
    for (int v = 1; v <= 7; ++v)
        QTest::addRow("version %d", v) << v;
}

void TestDocumentStream::readsEveryVersion()
{
    QFETCH(int, version);
    const TDoc h = testsupport::richHeader();
    const TFeuille first = testsupport::richEntry(QStringLiteral("first"), true);
    const TFeuille second = testsupport::richEntry(QStringLiteral("second"), false);
    StreamBuilder b;
    b.start(version).header(version, h);
    b.group(10, 0, QStringLiteral("Top")).group(20, 10, QStringLiteral("Child"));
    b.entry(version, 20, first).entry(version, 10, second).end();

    DocumentState doc;
    const DateTime before = datetime::now();
    const ReadOutcome r = readAll(b.bytes(), doc);
    const DateTime after = datetime::now();
    QVERIFY(r.header.ok);
    QVERIFY(!r.header.recovered);
    QVERIFY(r.records.ok);
    QCOMPARE(r.messages, QStringList());
    QCOMPARE(r.records.groups, 2);
    QCOMPARE(r.records.entries, 2);
    QCOMPARE(summary(doc), QStringLiteral("G/Top G/Top/Child Efirst@/Top/Child Esecond@/Top"));

    const TDoc& d = doc.LocalDoc;
    QCOMPARE(d.FormatVersion, version);
    if (version < 3) {
        TDoc reset;
        ResetDoc(reset);
        reset.SaveDate = d.SaveDate;
        reset.CreateDate = d.CreateDate;
        QCOMPARE(testsupport::compareHeaders(d, reset), QString());
        QVERIFY(d.SaveDate >= before && d.SaveDate <= after);
    } else {
        QCOMPARE(d.SaveCount, h.SaveCount);
        QCOMPARE(d.SaveDate, h.SaveDate);
        QCOMPARE(d.Reserved1, h.Reserved1);
        QCOMPARE(d.Reserved2, h.Reserved2);
        QCOMPARE(d.SyncOn, h.SyncOn);
        QCOMPARE(d.ServerName, h.ServerName);
        QCOMPARE(d.PortNumber, h.PortNumber);
        QCOMPARE(d.RemotePath, h.RemotePath);
        QCOMPARE(d.UserName, h.UserName);
        QCOMPARE(d.UserPassword, h.UserPassword);
    }
    if (version >= 5)
        QCOMPARE(d.CreateDate, h.CreateDate);
    else
        QVERIFY(d.CreateDate >= before && d.CreateDate <= after);
    QCOMPARE(d.UseFtpEntry, version >= 6 && h.UseFtpEntry);
    QCOMPARE(d.PassiveMode, version >= 7 && h.PassiveMode);

    const TFeuille& e = *doc.entry(0);
    QCOMPARE(e.RemapMark, -1);
    QCOMPARE(e.Password, first.Password);
    QCOMPARE(e.WebAddress, first.WebAddress);
    QCOMPARE(e.Notes, first.Notes);
    QCOMPARE(e.Login, version >= 2 ? first.Login : QString());
    QCOMPARE(e.Created, version >= 4 ? first.Created : 0.0);
    QCOMPARE(e.ModifiedAt, version >= 4 ? first.ModifiedAt : 0.0);
    QCOMPARE(e.IsFtpEntry, version >= 6);
    QCOMPARE(doc.FtpEntryIndex(), version >= 6 ? 0 : -1);
    QCOMPARE(doc.entry(1)->Login, version >= 2 ? second.Login : QString());
}

void TestDocumentStream::damagedStreams_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("recordsOk");
    QTest::addColumn<int>("groups");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("content");

    const TFeuille x = named("x");
    const TFeuille y = named("y");

    QTest::newRow("unknown magic, reading goes on")
        << StreamBuilder().tag("XYZ").tag(" 1.7").header(7, TDoc()).group(1, 0, "A").entry(7, 1, x).end().bytes()
        << QStringList{"ErreurTRS"} << true << 1 << 1 << "G/A Ex@/A";
    QTest::newRow("newer version read as 7")
        << StreamBuilder().tag("TRS").tag(" 1.8").header(7, TDoc()).group(1, 0, "A").entry(7, 1, x).end().bytes()
        << QStringList{"ErrVersion: 1.8"} << true << 1 << 1 << "G/A Ex@/A";
    QTest::newRow("version 1 without groups is not recognised")
        << StreamBuilder().tag("TRS").tag("FEUI").header(7, TDoc()).end().bytes() << QStringList{"ErrVersion:FEUI"}
        << true << 0 << 0 << "";
    QTest::newRow("bad magic and bad version in order")
        << StreamBuilder().tag("ABC").tag("2.00").header(7, TDoc()).end().bytes()
        << QStringList{"ErreurTRS", "ErrVersion:2.00"} << true << 0 << 0 << "";
    QTest::newRow("header text too long: records from the first NODE")
        << StreamBuilder()
               .start(7)
               .i32(5)
               .dbl(2.0)
               .textCount(1000)
               .tag("junk")
               .group(1, 0, "A")
               .entry(7, 1, x)
               .end()
               .bytes()
        << QStringList() << true << 1 << 1 << "G/A Ex@/A";
    QTest::newRow("header text too long and no NODE")
        << StreamBuilder().start(7).i32(5).dbl(2.0).textCount(1000).tag("FEUI").end().bytes()
        << QStringList{"ErreurFIN"} << true << 0 << 0 << "";
    QTest::newRow("first tag cut: recovery finds nothing")
        << StreamBuilder().start(2).tag("NO").bytes() << QStringList{"ErreurFIN"} << true << 0 << 0 << "";
    QTest::newRow("negative header text count")
        << StreamBuilder().start(6).i32(1).dbl(1).textCount(0xFFFFFFFF).group(1, 0, "A").end().bytes() << QStringList()
        << true << 1 << 0 << "G/A";
    QTest::newRow("unknown parent: top level, reading goes on")
        << v7().group(1, 0, "A").group(2, 9, "B").group(3, 2, "C").entry(7, 3, x).end().bytes()
        << QStringList{"ErreurHN"} << true << 3 << 1 << "G/A G/B G/B/C Ex@/B/C";
    QTest::newRow("parent given after its child") << v7().group(2, 1, "B").group(1, 0, "A").end().bytes()
                                                  << QStringList{"ErreurHN"} << true << 2 << 0 << "G/B G/A";
    QTest::newRow("repeated identifier: the first keeps it")
        << v7().group(1, 0, "A").group(1, 0, "B").group(2, 1, "C").entry(7, 1, x).end().bytes() << QStringList() << true
        << 3 << 1 << "G/A G/A/C G/B Ex@/A";
    QTest::newRow("group identifier 0 claims nothing")
        << v7().group(0, 0, "Z").group(1, 0, "A").entry(7, 0, x).end().bytes() << QStringList{"ErreurHN"} << true << 2
        << 1 << "G/Z G/A Ex@-";
    QTest::newRow("entry of an unknown group kept without group")
        << v7().group(1, 0, "A").entry(7, 7, x).entry(7, 1, y).end().bytes() << QStringList{"ErreurHN"} << true << 1
        << 2 << "G/A Ex@- Ey@/A";
    QTest::newRow("entry of group 0") << v7().entry(7, 0, x).entry(7, 0, y).end().bytes() << QStringList{"ErreurHN"}
                                      << true << 0 << 2 << "Ex@- Ey@-";
    QTest::newRow("unknown parent and unknown entry groups: one message")
        << v7().group(1, 0, "A").group(2, 9, "B").entry(7, 7, x).entry(7, 1, y).entry(7, 8, x).tag("XXXX").bytes()
        << QStringList{"ErreurHN", "ErreurFIN"} << true << 2 << 3 << "G/A G/B Ex@- Ey@/A Ex@-";
    QTest::newRow("wrong end record") << v7().group(1, 0, "A").entry(7, 1, x).tag("XXXX").bytes()
                                      << QStringList{"ErreurFIN"} << true << 1 << 1 << "G/A Ex@/A";
    QTest::newRow("no end record: read failure") << v7().group(1, 0, "A").entry(7, 1, x).entry(7, 1, y).bytes()
                                                 << QStringList() << false << 1 << 2 << "G/A Ex@/A Ey@/A";
    QTest::newRow("end record cut") << v7().group(1, 0, "A").tag("FIN").bytes() << QStringList() << false << 1 << 0
                                    << "G/A";
    QTest::newRow("group after entry ends the reading")
        << v7().group(1, 0, "A").entry(7, 1, x).group(2, 0, "B").entry(7, 2, y).end().bytes()
        << QStringList{"ErreurFIN"} << true << 1 << 1 << "G/A Ex@/A";
    QTest::newRow("bytes after the end are ignored")
        << v7().group(1, 0, "A").end().tag("NODEFEUI garbage").bytes() << QStringList() << true << 1 << 0 << "G/A";
    QTest::newRow("group name longer than the stream")
        << v7().group(1, 0, "A").tag("NODE").u32(2).u32(1).textCount(10).tag("abc").bytes() << QStringList() << false
        << 1 << 0 << "G/A";
    QTest::newRow("entry text count 0x7FFFFFFF")
        << v7().group(1, 0, "A").entry(7, 1, x).tag("FEUI").u32(1).text("n").textCount(0x7FFFFFFF).tag("abcd").bytes()
        << QStringList() << false << 1 << 1 << "G/A Ex@/A";
    QTest::newRow("unknown group reported before the read failure")
        << v7().tag("FEUI").u32(5).textCount(0x80000000).bytes() << QStringList{"ErreurHN"} << false << 0 << 0 << "";
    // A record cut by the end of the stream never enters the document, whatever field the cut
    // falls in; the records read whole before it stay.
    QTest::newRow("entry cut inside its group identifier")
        << StreamBuilder().start(2).tag("FEUI").byte(1).byte(0).bytes() << QStringList{"ErreurHN"} << false << 0 << 0
        << "";
    QTest::newRow("entry cut after its group identifier")
        << v7().group(1, 0, "A").entry(7, 1, x).tag("FEUI").u32(1).bytes() << QStringList() << false << 1 << 1
        << "G/A Ex@/A";
    QTest::newRow("entry cut inside a text count")
        << v7().group(1, 0, "A").entry(7, 1, x).tag("FEUI").u32(1).text("n").text("l").byte(0).byte(0).bytes()
        << QStringList() << false << 1 << 1 << "G/A Ex@/A";
    QTest::newRow("entry cut inside its dates") << v7().group(1, 0, "A")
                                                       .entry(7, 1, x)
                                                       .tag("FEUI")
                                                       .u32(1)
                                                       .text("n")
                                                       .text("l")
                                                       .text("p")
                                                       .text("w")
                                                       .text("m")
                                                       .dbl(1.5)
                                                       .byte(0)
                                                       .bytes()
                                                << QStringList() << false << 1 << 1 << "G/A Ex@/A";
    QTest::newRow("entry cut inside its FTP mark") << v7().group(1, 0, "A")
                                                          .entry(7, 1, x)
                                                          .tag("FEUI")
                                                          .u32(1)
                                                          .text("n")
                                                          .text("l")
                                                          .text("p")
                                                          .text("w")
                                                          .text("m")
                                                          .dbl(1.5)
                                                          .dbl(2.5)
                                                          .byte(1)
                                                          .bytes()
                                                   << QStringList() << false << 1 << 1 << "G/A Ex@/A";
    QTest::newRow("version 3 entry ending the stream is whole")
        << StreamBuilder().start(3).header(3, TDoc()).group(1, 0, "A").entry(3, 1, x).bytes() << QStringList() << false
        << 1 << 1 << "G/A Ex@/A";
    QTest::newRow("group cut after its identifiers")
        << v7().group(1, 0, "A").tag("NODE").u32(2).u32(1).bytes() << QStringList() << false << 1 << 0 << "G/A";
}

void TestDocumentStream::damagedStreams()
{
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, messages);
    QFETCH(bool, recordsOk);
    QFETCH(int, groups);
    QFETCH(int, entries);
    QFETCH(QString, content);

    DocumentState doc;
    const ReadOutcome r = readAll(stream, doc);
    QVERIFY(r.header.ok);
    QCOMPARE(r.messages, messages);
    QCOMPARE(r.records.ok, recordsOk);
    QCOMPARE(r.records.error.isEmpty(), recordsOk);
    QCOMPARE(r.records.groups, groups);
    QCOMPARE(r.records.entries, entries);
    QCOMPARE(summary(doc), content);
    for (const auto& e : doc.Entries())
        QVERIFY(e->Group == 0 || doc.findGroup(e->Group));
}

void TestDocumentStream::headerRecoveryKeepsFieldsReadBefore()
{
    TDoc h;
    h.SaveCount = 77;
    h.SaveDate = 44444.5;
    h.Reserved1 = QStringLiteral("kept");
    h.CreateDate = 33333.25;
    h.SyncOn = true;
    h.UseFtpEntry = true;
    h.PortNumber = 990; // after the bad text: must keep its reset value
    StreamBuilder b;
    b.start(7).i32(h.SaveCount).dbl(h.SaveDate).text(h.Reserved1).text("").dbl(h.CreateDate).byte(1).byte(1);
    b.textCount(5000).i32(h.PortNumber).tag("xNODx").group(4, 0, "Found").end();

    DocumentState doc;
    const ReadOutcome r = readAll(b.bytes(), doc);
    QVERIFY(r.header.ok);
    QVERIFY(r.header.recovered);
    QCOMPARE(r.header.firstTag, QByteArray("NODE"));
    QCOMPARE(r.messages, QStringList());
    const TDoc& d = doc.LocalDoc;
    QCOMPARE(d.SaveCount, 77);
    QCOMPARE(d.SaveDate, 44444.5);
    QCOMPARE(d.Reserved1, QStringLiteral("kept"));
    QCOMPARE(d.CreateDate, 33333.25);
    QVERIFY(d.SyncOn);
    QVERIFY(d.UseFtpEntry);
    QCOMPARE(d.PortNumber, 21);
    QCOMPARE(d.ServerName, QString());
    QCOMPARE(summary(doc), QStringLiteral("G/Found"));
}

void TestDocumentStream::streamEndingInMagicOrVersionFails_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<bool>("ok");
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("within magic") << QByteArray("TR") << false;
    QTest::newRow("magic only") << QByteArray("TRS") << false;
    QTest::newRow("within version tag") << QByteArray("TRS 1.") << false;
    QTest::newRow("version tag only") << QByteArray("TRS 1.7") << true;
    QTest::newRow("version 1, no records after") << QByteArray("TRSNODE") << true;
}

void TestDocumentStream::streamEndingInMagicOrVersionFails()
{
    QFETCH(QByteArray, stream);
    QFETCH(bool, ok);
    TDoc d;
    ResetDoc(d);
    StreamReader in(stream);
    MessageLog log;
    const HeaderResult h = ReadDocumentHeader(in, d, log.sink());
    QCOMPARE(h.ok, ok);
    QCOMPARE(h.error.isEmpty(), ok);
    QCOMPARE(log.messages, QStringList());
}

void TestDocumentStream::cutFixedFieldKeepsEarlierBytes()
{
    TDoc d;
    ResetDoc(d);
    d.SaveCount = 0x7F000000;
    StreamReader in(StreamBuilder().start(7).byte(0x34).byte(0x12).bytes());
    const HeaderResult h = ReadDocumentHeader(in, d, {});
    QVERIFY(h.ok);
    QCOMPARE(d.SaveCount, 0x7F001234);
    QVERIFY(h.firstTag.isEmpty());
    QVERIFY(in.atEnd());

    double value = 1.0; // 3FF0000000000000
    StreamReader cut(QByteArray::fromHex("0000000000"));
    cut.readDouble(value);
    QCOMPARE(value, 1.0);
    StreamReader cut2(QByteArray::fromHex("000000000000f8"));
    cut2.readDouble(value);
    QCOMPARE(value, 1.5); // 3FF8...: the seventh byte replaced, the eighth kept
}

void TestDocumentStream::laterFtpMarkWins()
{
    TFeuille a = named("a");
    a.IsFtpEntry = true;
    TFeuille b = named("b");
    TFeuille c = named("c");
    c.IsFtpEntry = true;
    DocumentState doc;
    const ReadOutcome r =
        readAll(v7().group(1, 0, "G").entry(7, 1, a).entry(7, 1, b).entry(7, 1, c).end().bytes(), doc);
    QVERIFY(r.records.ok);
    QCOMPARE(doc.FtpEntryIndex(), 2);
    QVERIFY(doc.entry(0)->IsFtpEntry);
    QVERIFY(!doc.entry(1)->IsFtpEntry);

    // A padding byte of the mark is ignored, any non-zero first byte marks.
    DocumentState doc2;
    const QByteArray s = v7().tag("FEUI")
                             .u32(0)
                             .text("")
                             .text("")
                             .text("")
                             .text("")
                             .text("")
                             .dbl(0)
                             .dbl(0)
                             .byte(0)
                             .byte(1)
                             .byte(1)
                             .byte(1)
                             .tag("FEUI")
                             .u32(0)
                             .text("")
                             .text("")
                             .text("")
                             .text("")
                             .text("")
                             .dbl(0)
                             .dbl(0)
                             .byte(0x80)
                             .byte(0)
                             .byte(0)
                             .byte(0)
                             .end()
                             .bytes();
    QVERIFY(readAll(s, doc2).records.ok);
    QVERIFY(!doc2.entry(0)->IsFtpEntry);
    QVERIFY(doc2.entry(1)->IsFtpEntry);
    QCOMPARE(doc2.FtpEntryIndex(), 1);
}

void TestDocumentStream::appendAddsToTheDocument()
{
    DocumentState doc;
    TGroupe* existing = doc.addGroup(QStringLiteral("Mine"));
    auto mine = std::make_unique<TFeuille>(named("mine"));
    mine->Group = existing->Id;
    mine->IsFtpEntry = true;
    doc.appendEntry(std::move(mine));
    doc.setFtpEntry(0);
    const TDoc before = doc.LocalDoc;

    TFeuille other = named("other");
    // Stream identifier 1 is also the Id of the existing group: it must not be confused with it.
    const QByteArray s =
        v7().group(existing->Id, 0, "Theirs").group(9, existing->Id, "Sub").entry(7, 9, other).end().bytes();
    MessageLog log;
    StreamReader in(s);
    TDoc header;
    ResetDoc(header);
    const HeaderResult h = ReadDocumentHeader(in, header, log.sink());
    const RecordsResult r = ReadDocumentRecords(in, h.firstTag, header.FormatVersion, doc, true, log.sink());
    QVERIFY(r.ok);
    QCOMPARE(r.groups, 2);
    QCOMPARE(r.entries, 1);
    QCOMPARE(log.messages, QStringList());
    QCOMPARE(summary(doc), QStringLiteral("G/Mine G/Theirs G/Theirs/Sub Emine@/Mine Eother@/Theirs/Sub"));
    QCOMPARE(doc.FtpEntryIndex(), 0);
    QCOMPARE(testsupport::compareHeaders(doc.LocalDoc, before), QString());
    QSet<quint32> ids;
    for (const TGroupe* g : doc.groupsInOrder())
        ids.insert(g->Id);
    QCOMPARE(ids.size(), 3);
    QVERIFY(!ids.contains(0));

    // Without append everything is replaced, including the FTP designation.
    StreamReader again(s);
    const HeaderResult h2 = ReadDocumentHeader(again, header, {});
    QVERIFY(ReadDocumentRecords(again, h2.firstTag, 7, doc, false, {}).ok);
    QCOMPARE(summary(doc), QStringLiteral("G/Theirs G/Theirs/Sub Eother@/Theirs/Sub"));
    QCOMPARE(doc.FtpEntryIndex(), -1);
}

void TestDocumentStream::hugeTextCountFailsWithoutAllocating()
{
    // A count just under the stream's own size must still be refused when it passes the end.
    const QByteArray s = v7().tag("FEUI").u32(0).textCount(0x7FFFFFFF).bytes();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 1000; ++i) {
        DocumentState doc;
        const ReadOutcome r = readAll(s, doc);
        QVERIFY(!r.records.ok);
        QCOMPARE(r.records.error, StreamReader::readErrorText());
    }
    // Reserving 2 GiB a thousand times would take far longer than this.
    QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));

    QString text = QStringLiteral("unchanged");
    StreamReader in(QByteArray::fromHex("05000000") + "abcd");
    QVERIFY(!in.readText(text));
    QCOMPARE(text, QStringLiteral("unchanged"));
    StreamReader exact(QByteArray::fromHex("04000000") + "ab\x80"
                                                         "d");
    QVERIFY(exact.readText(text));
    QCOMPARE(text, QStringLiteral("ab\u20acd"));
    QVERIFY(exact.atEnd());
}

void TestDocumentStream::everyPrefixAndByteFlipIsSafe()
{
    DocumentState rich;
    testsupport::buildRichDocument(rich);
    QByteArray full;
    WriteDocumentStream(rich, full);

    for (qsizetype n = 0; n <= full.size(); ++n) {
        DocumentState doc;
        const ReadOutcome r = readAll(full.left(n), doc);
        QVERIFY(r.records.groups <= rich.groupCount());
        QVERIFY(r.records.entries <= rich.entryCount());
        // Whatever the cut, every entry read is the whole entry of the document, in its place.
        for (int i = 0; i < doc.entryCount(); ++i) {
            const TFeuille& got = *doc.entry(i);
            const TFeuille& want = *rich.entry(i);
            QVERIFY2(got.Name == want.Name && got.Login == want.Login && got.Password == want.Password &&
                         got.WebAddress == want.WebAddress && got.Notes == want.Notes && got.Created == want.Created &&
                         got.ModifiedAt == want.ModifiedAt && got.IsFtpEntry == want.IsFtpEntry,
                     qPrintable(QStringLiteral("cut at %1: entry %2 differs").arg(n).arg(i)));
        }
        if (n == full.size()) {
            QVERIFY(r.records.ok);
            QCOMPARE(testsupport::compareContent(doc, rich), QString());
        } else if (n >= 7) {
            // Cut anywhere after the version tag: the end record is missing or cut.
            QVERIFY(!r.records.ok || r.messages.contains(QStringLiteral("ErreurFIN")));
        }
    }

    QRandomGenerator rng(20240611);
    for (int i = 0; i < 3000; ++i) {
        QByteArray damaged = full;
        const int flips = 1 + rng.bounded(4);
        for (int f = 0; f < flips; ++f)
            damaged[rng.bounded(damaged.size())] = static_cast<char>(rng.bounded(256));
        DocumentState doc;
        const ReadOutcome r = readAll(damaged, doc);
        for (const auto& e : doc.Entries())
            QVERIFY(e->Group == 0 || doc.findGroup(e->Group));
        QVERIFY(doc.FtpEntryIndex() == -1 || doc.entry(doc.FtpEntryIndex())->IsFtpEntry);
        Q_UNUSED(r);
    }
}

void TestDocumentStream::deepNestingDoesNotExhaustTheStack()
{
    const int depth = 200000;
    StreamBuilder b;
    b.start(7).header(7, TDoc());
    for (int i = 1; i <= depth; ++i)
        b.group(static_cast<quint32>(i), static_cast<quint32>(i - 1), QStringLiteral("g"));
    b.entry(7, depth, named("leaf")).end();

    {
        DocumentState doc;
        const ReadOutcome r = readAll(b.bytes(), doc);
        QVERIFY(r.records.ok);
        QCOMPARE(r.records.groups, depth);
        const TGroupe* leaf = doc.findGroup(doc.entry(0)->Group);
        int levels = 0;
        for (const TGroupe* g = leaf; g; g = g->Parent)
            ++levels;
        QCOMPARE(levels, depth);

        QByteArray out;
        WriteDocumentStream(doc, out);
        QCOMPARE(out.size(), b.size());
    } // destroyed here
}

QTEST_GUILESS_MAIN(TestDocumentStream)
#include "tst_documentstream.moc"
