// Time to save and open a large document: writing the stream and enciphering it, then
// deciphering and reading it back. Usage: bench_document [entries] (default 50000).

#include "document/DocumentFile.h"
#include "document/DocumentStream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <cstdio>

namespace {

void fill(DocumentState& doc, int entries)
{
    std::vector<TGroupe*> groups;
    for (int g = 0; g < 100; ++g)
        groups.push_back(doc.addGroup(QStringLiteral("Group %1").arg(g), g % 10 ? groups[g - g % 10] : nullptr));
    for (int i = 0; i < entries; ++i) {
        auto e = NewEntry(groups[static_cast<size_t>(i % 100)], QStringLiteral("Entry number %1").arg(i));
        e->Login = QStringLiteral("user%1@example.org").arg(i);
        e->Password = QStringLiteral("p\u00e4ss-%1-\u20ac-xYz!").arg(i * 7919);
        e->WebAddress = QStringLiteral("https://www.example.org/login?id=%1").arg(i);
        e->Notes = QStringLiteral("Some notes for entry %1\r\non two lines.").arg(i);
        e->ModifiedAt = e->Created;
        doc.appendEntry(std::move(e));
    }
}

double ms(const QElapsedTimer& t)
{
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int entries = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 50000;
    DocumentState doc;
    fill(doc, entries);
    doc.MetaPassword = QStringLiteral("benchmark password");

    QElapsedTimer t;
    t.start();
    QByteArray stream;
    WriteDocumentStream(doc, stream);
    const double writeMs = ms(t);
    const qsizetype streamSize = stream.size();
    stream.clear();

    t.restart();
    const QByteArray stored = docfile::encipheredDocument(doc);
    const double writeEncipherMs = ms(t);

    t.restart();
    docfile::OpenedDocument opened = docfile::openBytes(stored, QStringLiteral("bench.pass"), doc.MetaPassword, {});
    const double decipherMs = ms(t);
    if (!opened.ok()) {
        std::fprintf(stderr, "open failed\n");
        return 1;
    }
    DocumentState back;
    t.restart();
    const RecordsResult r = docfile::readRecords(opened, back, false, {});
    const double readMs = ms(t);
    if (!r.ok || r.entries != entries) {
        std::fprintf(stderr, "read failed\n");
        return 1;
    }

    QTextStream out(stdout);
    out << "entries: " << entries << ", groups: " << doc.groupCount() << ", stream: " << streamSize << " bytes\n";
    out << "write stream:                " << writeMs << " ms\n";
    out << "write stream + encipher:     " << writeEncipherMs << " ms\n";
    out << "decipher + read header:      " << decipherMs << " ms\n";
    out << "read records:                " << readMs << " ms\n";
    out << "decipher + read, total:      " << decipherMs + readMs << " ms\n";
    return 0;
}
