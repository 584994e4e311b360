// Writes a benchmark document: bench_gen ENTRIES OUT.pass [PEER.xml] [--half]
// (--half: the first group holds half of the entries). The meta password is "bench password".
#include "BenchDocument.h"
#include "document/DocumentFile.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const bool half = args.removeAll(QStringLiteral("--half")) > 0;
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_gen ENTRIES OUT.pass [PEER.xml] [--half]\n");
        return 1;
    }
    DocumentState doc;
    benchdoc::build(doc, args[0].toInt(), half);
    const docfile::WriteResult w = docfile::saveFile(doc, args[1], false);
    if (!w.ok) {
        std::fprintf(stderr, "bench_gen: %s\n", qPrintable(w.error));
        return 1;
    }
    if (args.size() > 2 && !benchdoc::writeKeePassXml(doc, args[2])) {
        std::fprintf(stderr, "bench_gen: cannot write %s\n", qPrintable(args[2]));
        return 1;
    }
    return 0;
}
