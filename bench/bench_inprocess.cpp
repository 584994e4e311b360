// In-process figures (Google Benchmark), for 1,000, 10,000 and 100,000 entries:
//   blowfish_pass  one single-core pass of the chaining mode over the enciphered bytes (the floor)
//   open           read file + check + decipher + read into a DocumentState
//   export         the JSON text of the open document, streamed to nowhere
//   save           stream + encipher + atomic write of the file
//   write          the atomic write alone of as many bytes (the floor of save, with blowfish_pass)
//   plain_scan     a case-sensitive substring scan of the five searched fields of every entry
//   search         the document search (letters A-Z folded) over the same fields
//   import_json    our JSON export of the document read into a new document (tresorin-cli import)
//   import_keepass_xml, import_csv, import_bitwarden_json
//                  the same entries exported as KeePass 2 XML, KeePassXC CSV and Bitwarden JSON,
//                  read and put into a new document
// Run through ./bench.sh, or alone: ./bench_inprocess [--benchmark_filter=...]
#include "BenchDocument.h"
#include "crypto/Cipher.h"
#include "document/DocumentFile.h"
#include "document/DocumentJson.h"
#include "document/EntrySearch.h"
#include "document/ForeignExport.h"
#include "document/ForeignImport.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <map>
#include <memory>

namespace {

struct Fixture
{
    DocumentState doc;
    QString path;
    QByteArray stored;
};

QTemporaryDir& folder()
{
    static QTemporaryDir dir;
    return dir;
}

Fixture& fixture(int entries)
{
    static std::map<int, std::unique_ptr<Fixture>> cache;
    auto& f = cache[entries];
    if (!f) {
        f = std::make_unique<Fixture>();
        benchdoc::build(f->doc, entries);
        f->path = folder().filePath(QStringLiteral("bench-%1.pass").arg(entries));
        docfile::saveFile(f->doc, f->path, false);
        QFile file(f->path);
        file.open(QIODevice::ReadOnly);
        f->stored = file.readAll();
    }
    return *f;
}

void setBytes(benchmark::State& state, const Fixture& f)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * f.stored.size());
    state.counters["file_bytes"] = double(f.stored.size());
}

void blowfishPass(benchmark::State& state)
{
    Fixture& f = fixture(int(state.range(0)));
    TCipher_Blowfish cipher;
    cipher.InitKey(QByteArray(benchdoc::kPassword));
    const qsizetype length = f.stored.size() - 20;
    QByteArray out(length, Qt::Uninitialized);
    for (auto _ : state) {
        cipher.ResetFeedback();
        cipher.ChainDecode(reinterpret_cast<const uchar*>(f.stored.constData()) + 20,
                           reinterpret_cast<uchar*>(out.data()), length);
        benchmark::DoNotOptimize(out.data());
    }
    setBytes(state, f);
}

void open(benchmark::State& state)
{
    Fixture& f = fixture(int(state.range(0)));
    for (auto _ : state) {
        DocumentState doc;
        const docfile::LoadResult r = docfile::loadFile(f.path, QString::fromLatin1(benchdoc::kPassword), doc, {});
        if (!r.ok() || r.entries != state.range(0))
            state.SkipWithError("open failed");
    }
    setBytes(state, f);
}

void exportJson(benchmark::State& state)
{
    Fixture& f = fixture(int(state.range(0)));
    qint64 bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        docjson::writeJson(f.doc, [&bytes](const char*, qsizetype n) {
            bytes += n;
            return true;
        });
    }
    state.counters["json_bytes"] = double(bytes);
    setBytes(state, f);
}

void save(benchmark::State& state)
{
    Fixture& f = fixture(int(state.range(0)));
    const QString target = folder().filePath(QStringLiteral("saved.pass"));
    for (auto _ : state)
        if (!docfile::saveFile(f.doc, target, false).ok)
            state.SkipWithError("save failed");
    setBytes(state, f);
}

void write(benchmark::State& state)
{
    Fixture& f = fixture(int(state.range(0)));
    const QString target = folder().filePath(QStringLiteral("written.pass"));
    for (auto _ : state)
        if (!docfile::writeFileAtomically(target, f.stored).ok)
            state.SkipWithError("write failed");
    setBytes(state, f);
}

// Found in almost no generated entry, so that nearly every field is read to its end.
const QString kSearchText = QStringLiteral("qzxjw");

void plainScan(benchmark::State& state)
{
    Fixture& f = fixture(int(state.range(0)));
    for (auto _ : state) {
        qsizetype hits = 0;
        for (const auto& e : f.doc.Entries())
            for (const QString* field : {&e->Name, &e->Login, &e->Password, &e->WebAddress, &e->Notes})
                hits += QStringView(*field).indexOf(kSearchText) >= 0;
        benchmark::DoNotOptimize(hits);
    }
    setBytes(state, f);
}

void search(benchmark::State& state)
{
    Fixture& f = fixture(int(state.range(0)));
    const QString filter = entrysearch::FilterText(kSearchText);
    for (auto _ : state) {
        const entrysearch::Result r = entrysearch::Search(f.doc, filter);
        benchmark::DoNotOptimize(r.entries.data());
    }
    setBytes(state, f);
}

// Bitwarden's JSON export of the document: a folder per group (its path), a login per entry.
QByteArray bitwardenJson(const DocumentState& doc)
{
    QJsonArray folders;
    QHash<quint32, QString> idOf;
    for (const TGroupe* g : doc.groupsInOrder()) {
        QString path = g->Name;
        for (const TGroupe* p = g->Parent; p; p = p->Parent)
            path = p->Name + QLatin1Char('/') + path;
        idOf[g->Id] = QString::number(g->Id);
        folders.append(QJsonObject{{"id", idOf[g->Id]}, {"name", path}});
    }
    QJsonArray items;
    for (const auto& e : doc.Entries())
        items.append(QJsonObject{
            {"type", 1},
            {"folderId", idOf.value(e->Group)},
            {"name", e->Name},
            {"notes", e->Notes},
            {"login", QJsonObject{{"username", e->Login},
                                  {"password", e->Password},
                                  {"uris", QJsonArray{QJsonObject{{"uri", e->WebAddress}}}}}},
        });
    return QJsonDocument(QJsonObject{{"encrypted", false}, {"folders", folders}, {"items", items}}).toJson();
}

// The import inputs of a size, made once.
const QByteArray& importInput(int entries, const QString& format)
{
    static std::map<std::pair<int, QString>, QByteArray> cache;
    QByteArray& bytes = cache[{entries, format}];
    if (bytes.isEmpty()) {
        const DocumentState& doc = fixture(entries).doc;
        SecureBytes out;
        if (format == QLatin1String("json"))
            bytes = docjson::toJson(doc);
        else if (format == QLatin1String("bitwarden"))
            bytes = bitwardenJson(doc);
        else {
            foreign::exportToBytes(
                doc, format == QLatin1String("csv") ? foreign::ExportFormat::Csv : foreign::ExportFormat::KeePassXml,
                out);
            bytes = QByteArray(out.bytes().constData(), out.size());
        }
    }
    return bytes;
}

void importJson(benchmark::State& state)
{
    const QByteArray& json = importInput(int(state.range(0)), QStringLiteral("json"));
    for (auto _ : state) {
        DocumentState doc;
        if (!docjson::fromJson(json, doc, nullptr) || doc.entryCount() != state.range(0))
            state.SkipWithError("import failed");
    }
    state.counters["input_bytes"] = double(json.size());
}

void importForeign(benchmark::State& state, const QString& input, foreign::Format format)
{
    const QByteArray& bytes = importInput(int(state.range(0)), input);
    for (auto _ : state) {
        DocumentState doc;
        foreign::ImportedData data;
        foreign::ImportError error;
        if (!foreign::readForeign(bytes, format, QStringLiteral("Item"), data, error) ||
            !foreign::findUnstorable(data, false).empty())
            state.SkipWithError("import failed");
        foreign::addImported(data, doc, nullptr, QStringLiteral("loose"));
        if (doc.entryCount() != state.range(0))
            state.SkipWithError("entries lost");
    }
    state.counters["input_bytes"] = double(bytes.size());
}

void importKeePassXml(benchmark::State& state)
{
    importForeign(state, QStringLiteral("xml"), foreign::Format::KeePassXml);
}
void importCsv(benchmark::State& state)
{
    importForeign(state, QStringLiteral("csv"), foreign::Format::Csv);
}
void importBitwardenJson(benchmark::State& state)
{
    importForeign(state, QStringLiteral("bitwarden"), foreign::Format::BitwardenJson);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    for (auto* b :
         {benchmark::RegisterBenchmark("blowfish_pass", blowfishPass), benchmark::RegisterBenchmark("open", open),
          benchmark::RegisterBenchmark("export", exportJson), benchmark::RegisterBenchmark("save", save),
          benchmark::RegisterBenchmark("write", write), benchmark::RegisterBenchmark("plain_scan", plainScan),
          benchmark::RegisterBenchmark("search", search), benchmark::RegisterBenchmark("import_json", importJson),
          benchmark::RegisterBenchmark("import_keepass_xml", importKeePassXml),
          benchmark::RegisterBenchmark("import_csv", importCsv),
          benchmark::RegisterBenchmark("import_bitwarden_json", importBitwardenJson)})
        b->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(0.3)->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
