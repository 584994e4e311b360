#include "app/gui/commands/ImportExportCommands.h"

#include "app/gui/commands/SearchCommand.h"
#include "app/gui/views/DocumentView.h"
#include "app/gui/views/GroupTreeModel.h"
#include "app/gui/views/GroupTreeView.h"
#include "app/gui/window/TfrmTresorin.h"
#include "crypto/SecureBytes.h"
#include "document/DocumentPath.h"
#include "document/ForeignExport.h"
#include "document/ForeignImport.h"
#include "document/gui/DocumentPipeline.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "platform/SafeFileWrite.h"
#include "platform/gui/FileDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

// The questions shown at most in the list of unstorable fields; the rest are counted.
constexpr int kListedFields = 20;

QString fieldLabel(foreign::Unstorable::Field field)
{
    // "name~login~password~web address~notes~group", in the order of the fields.
    const QStringList labels = Msg(QStringLiteral("Champs")).split(QLatin1Char('~'));
    static const int kOrder[] = {5, 0, 1, 2, 3, 4};
    return labels.value(kOrder[field]);
}

QString unstorableLine(const foreign::Unstorable& u)
{
    // Worded by the language, its spacing too: "line 2: "Mail": name", "ligne 2 : « Mail » : nom".
    QString line = FillPlaceholders(Msg(QStringLiteral("ImportChamp")), {u.where, fieldLabel(u.field)});
    if (!u.characters.isEmpty())
        line += QStringLiteral(" (%1)").arg(u.characters);
    if (u.line > 0)
        line = FillPlaceholders(Msg(QStringLiteral("ImportLigne")), {QString::number(u.line), line});
    // Names come from the file: no control character of theirs reaches the box.
    for (QChar& c : line)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0))
            c = QLatin1Char('?');
    return line;
}

// One line per part of the file that does not come in, as the question lists them.
QStringList lossLines(const foreign::ImportedData& data)
{
    QStringList lines;
    for (const foreign::Dropped& d : data.dropped) {
        // Worded as the lines of characters the document cannot hold: "line 2: "Root/a": attachment ...".
        QString line = FillPlaceholders(
            Msg(QStringLiteral("ImportChamp")),
            {d.where, FillPlaceholders(Msg(d.kind == foreign::Dropped::Attachment ? QStringLiteral("ImportPieceJointe")
                                                                                  : QStringLiteral("ImportValeur")),
                                       {d.name})});
        if (d.line > 0)
            line = FillPlaceholders(Msg(QStringLiteral("ImportLigne")), {QString::number(d.line), line});
        // Names come from the file: no control character of theirs reaches the box.
        for (QChar& c : line)
            if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0))
                c = QLatin1Char('?');
        lines << line;
    }
    if (data.entries.empty() && data.seen > 0)
        lines << MsgCount(QStringLiteral("ImportAucun"), data.seen);
    return lines;
}

QString failureText(const QString& fileName, const QString& reason)
{
    return FillPlaceholders(Msg(QStringLiteral("ImportErreur")), {fileName, reason});
}

} // namespace

ImportExportCommands::ImportExportCommands(TfrmTresorin* window) : QObject(window), m_window(window)
{
}

QStringList ImportExportCommands::importFilters()
{
    return {Msg(QStringLiteral("FiltreImport")), Msg(QStringLiteral("FiltreKeePass")), Msg(QStringLiteral("FiltreCSV")),
            Msg(QStringLiteral("FiltreBitwarden")), Msg(QStringLiteral("FiltreTous"))};
}

QStringList ImportExportCommands::exportFilters()
{
    return {Msg(QStringLiteral("FiltreKeePass")), Msg(QStringLiteral("FiltreCSV"))};
}

void ImportExportCommands::ImportCommand()
{
    DocumentState& doc = m_window->doc();
    if (doc.ReadOnlyLock)
        return;
    m_window->view()->commitPendingEdits();
    m_window->searchCommand()->turnOff();
    const quint64 generation = doc.generation();
    const auto stillSameDocument = [&doc, generation] { return doc.generation() == generation && !doc.ReadOnlyLock; };

    int filter = -1;
    const QString path = AskOpenFileName(m_window, Msg(QStringLiteral("Importer")), importFilters(), &filter);
    if (path.isEmpty() || !stillSameDocument())
        return;
    const QString fileName = QFileInfo(path).fileName();

    foreign::ImportedData data;
    foreign::ImportError error;
    bool outOfMemory = false;
    if (!foreign::readForeignFile(path, Msg(QStringLiteral("Element")), data, error, &outOfMemory)) {
        ShowMsg(outOfMemory ? Msg(QStringLiteral("Memoire")) : failureText(fileName, error.text()), MsgKind::Error,
                MsgOK, m_window);
        return;
    }
    // The source's own root ("Passwords", "Root") is not kept under the group named after the file.
    foreign::dropSourceRoot(data);
    // What the file holds that would not come in: said first, and imported without it only on Yes.
    if (foreign::losesSomething(data)) {
        QStringList lines = lossLines(data);
        const qsizetype listed = qMin<qsizetype>(lines.size(), kListedFields);
        if (lines.size() > listed)
            lines = lines.mid(0, listed) << FillPlaceholders(Msg(QStringLiteral("ImportCarPlus")),
                                                             {QString::number(lines.size() - listed)});
        const QString question =
            FillPlaceholders(Msg(QStringLiteral("ImportPertes")), {fileName, lines.join(QStringLiteral("\r\n"))});
        if (ShowMsg(question, MsgKind::Confirmation, MsgYes | MsgNo, m_window) != MsgYes || !stillSameDocument())
            return;
    }
    foreign::nestUnder(data, fileName);

    const std::vector<foreign::Unstorable> found = foreign::findUnstorable(data, false);
    if (!found.empty()) {
        QStringList lines;
        for (size_t i = 0; i < found.size() && i < size_t(kListedFields); ++i)
            lines << unstorableLine(found[i]);
        if (found.size() > size_t(kListedFields))
            lines << FillPlaceholders(Msg(QStringLiteral("ImportCarPlus")),
                                      {QString::number(found.size() - size_t(kListedFields))});
        const QString question =
            FillPlaceholders(Msg(QStringLiteral("ImportCar")), {lines.join(QStringLiteral("\r\n"))});
        if (ShowMsg(question, MsgKind::Confirmation, MsgYes | MsgNo, m_window) != MsgYes)
            return;
        if (!stillSameDocument())
            return;
        foreign::findUnstorable(data, true);
    }

    DocumentView* view = m_window->view();
    view->suspendRepaint();
    view->commitNotes();
    view->documentAboutToReload();
    const foreign::ImportSummary summary = foreign::addImported(data, doc, nullptr, fileName);
    view->documentReloaded();
    view->resumeRepaint();
    doc.SetModified(true);
    if (summary.top) {
        view->arbo()->expandSubtree(view->groupModel()->indexForGroup(summary.top));
        view->selectGroup(summary.top);
        view->flushGroupChange();
    }
    m_window->enableDocumentCommands();
    // The groups brought in, the one named after the file aside.
    QString status = FillPlaceholders(Msg(QStringLiteral("ImportFait")),
                                      {MsgCount(QStringLiteral("NbElements"), summary.entries),
                                       MsgCount(QStringLiteral("NbGroupes"), std::max(0, summary.groups - 1)),
                                       summary.top ? summary.top->Name : fileName});
    if (summary.datesClamped > 0)
        status += QStringLiteral("; ") + MsgCount(QStringLiteral("DatesFutures"), summary.datesClamped);
    m_window->announce(status);
}

void ImportExportCommands::ExportCommand()
{
    DocumentState& doc = m_window->doc();
    m_window->view()->commitPendingEdits();
    const quint64 generation = doc.generation();
    if (ShowMsg(Msg(QStringLiteral("ExportClair")), MsgKind::Warning, MsgYes | MsgNo, m_window) != MsgYes)
        return;
    int filter = -1;
    QString path = AskSaveFileName(m_window, Msg(QStringLiteral("Exporter")), exportFilters(), &filter);
    if (path.isEmpty() || doc.generation() != generation)
        return;

    // The filter chosen decides, else the name's extension; a name without one takes the format's.
    foreign::ExportFormat format = foreign::ExportFormat::Csv;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (filter == 0 || (filter < 0 && suffix == QLatin1String("xml")))
        format = foreign::ExportFormat::KeePassXml;
    if (suffix.isEmpty())
        path += format == foreign::ExportFormat::KeePassXml ? QStringLiteral(".xml") : QStringLiteral(".csv");

    // Clear text never replaces the enciphered document it comes from.
    if (!doc.CurrentPath.isEmpty() && QFileInfo(path).exists() &&
        QFileInfo(path).canonicalFilePath() == QFileInfo(doc.CurrentPath).canonicalFilePath()) {
        ShowMsg(Msg(QStringLiteral("ExportSurDocument")), MsgKind::Error, MsgOK, m_window);
        return;
    }

    SecureBytes bytes;
    const foreign::ExportResult result = foreign::exportToBytes(doc, format, bytes);
    if (!result.ok) {
        ShowMsg(Msg(QStringLiteral("Memoire")), MsgKind::Error, MsgOK, m_window);
        return;
    }
    // Clear text: private to its owner, also when it replaces a file that was not.
    const platform::SafeWriteResult written =
        platform::writeFileSafely(path, bytes.bytes(), platform::NewFileAccess::AlwaysOwnerOnly);
    bytes.clear();
    if (!written.ok) {
        ShowMsg(FillPlaceholders(Msg(QStringLiteral("FileAccess")), {QDir::toNativeSeparators(path)}) +
                    QStringLiteral("\r\n\r\n") + written.error,
                MsgKind::Error, MsgOK, m_window);
        return;
    }
    if (result.droppedCharacters > 0)
        ShowMsg(MsgCount(QStringLiteral("ExportControles"), result.droppedCharacters), MsgKind::Warning, MsgOK,
                m_window);
    m_window->announce(
        FillPlaceholders(MsgCount(QStringLiteral("ExportFait"), result.entries), {QDir::toNativeSeparators(path)}));
}
