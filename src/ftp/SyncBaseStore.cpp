#include "ftp/SyncBaseStore.h"

#include "document/DocumentFile.h"
#include "document/Lineage.h"
#include "lang/LangTable.h"
#include "platform/SafeFileWrite.h"
#include "platform/StateFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

namespace {

const QString kSuffix = QStringLiteral(".base");
const QString kNoLineage = QStringLiteral("nolineage");
constexpr QFile::Permissions kOwnerOnlyFolder =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;

QString linkRefused(const QString& path)
{
    return FillPlaceholders(Msg(QStringLiteral("LienRefuse")), {QDir::toNativeSeparators(path)});
}

// Makes the folder (its parent exists) for its owner only, or narrows an existing one to that.
// A symbolic link where it should be is refused: what is written there would land elsewhere.
bool ensureFolder(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        *error = linkRefused(path);
        return false;
    }
    if (!info.exists()) {
        if (!QDir().mkdir(path, kOwnerOnlyFolder)) {
            *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), qt_error_string(errno));
            return false;
        }
    } else if (!info.isDir()) {
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), qt_error_string(ENOTDIR));
        return false;
    }
    if (QFile::permissions(path) != kOwnerOnlyFolder && !QFile::setPermissions(path, kOwnerOnlyFolder)) {
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), qt_error_string(errno));
        return false;
    }
    return true;
}

// A name the store itself writes: 16 hex digits or "nolineage", then ".base".
bool isBaseName(const QString& fileName, QString* id)
{
    if (!fileName.endsWith(kSuffix))
        return false;
    const QString stem = fileName.chopped(kSuffix.size());
    const bool hex = stem.size() == 16 && std::all_of(stem.begin(), stem.end(),
                                                      [](QChar c) { return c.isDigit() || (c >= u'a' && c <= u'f'); });
    if (!hex && stem != kNoLineage)
        return false;
    *id = stem;
    return true;
}

} // namespace

SyncBaseStore::SyncBaseStore(const Pair& pair)
{
    const QFileInfo local(pair.localPath);
    QString canonical = local.canonicalFilePath();
    if (canonical.isEmpty())
        canonical = QDir::cleanPath(local.absoluteFilePath());
    const QChar nul(0);
    const QString key =
        canonical + nul + pair.server + nul + QString::number(pair.port) + nul + pair.remotePath + nul + pair.user;
    const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex();
    m_folder = rootFolder() + QLatin1Char('/') + QString::fromLatin1(digest);
}

QString SyncBaseStore::rootFolder()
{
    return platform::userStateFolder() + QStringLiteral("/tresorin/sync");
}

bool SyncBaseStore::keep(const QByteArray& enciphered, const TDoc& header, QString* error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    // The user's state folder is theirs (it may well be a link to another disk); from our own
    // folder down, nothing is followed.
    const QString state = platform::userStateFolder();
    if (!QDir().mkpath(state)) {
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(state), qt_error_string(errno));
        return false;
    }
    for (const QString& folder : {state + QStringLiteral("/tresorin"), rootFolder(), m_folder})
        if (!ensureFolder(folder, error))
            return false;

    const std::optional<quint64> own = lineage::ownVersion(header);
    const QString name = own ? lineage::idText(*own) : kNoLineage;
    const QString path = m_folder + QLatin1Char('/') + name + kSuffix;
    if (QFileInfo(path).isSymLink()) {
        *error = linkRefused(path);
        return false;
    }
    const platform::SafeWriteResult written =
        platform::writeFileSafely(path, enciphered, platform::NewFileAccess::AlwaysOwnerOnly);
    if (!written.ok) {
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), written.error);
        return false;
    }

    // The newest are kept; the one just written is the newest whatever the clock says.
    std::vector<Listed> bases = list();
    std::stable_partition(bases.begin(), bases.end(), [&name](const Listed& b) { return b.name == name; });
    for (size_t i = kMaxBases; i < bases.size(); ++i)
        QFile::remove(bases[i].path);
    return true;
}

std::vector<SyncBaseStore::Listed> SyncBaseStore::list() const
{
    std::vector<Listed> out;
    const QFileInfo folder(m_folder);
    if (folder.isSymLink() || !folder.isDir())
        return out;
    const QFileInfoList entries =
        QDir(m_folder).entryInfoList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& info : entries) {
        QString id;
        // A link is no base of ours (and is removed like an old base when it is one too many).
        if (!isBaseName(info.fileName(), &id))
            continue;
        out.push_back(Listed{id, info.filePath(), info.isSymLink() ? 0 : info.lastModified().toMSecsSinceEpoch()});
    }
    std::sort(out.begin(), out.end(), [](const Listed& a, const Listed& b) {
        return a.writtenMs != b.writtenMs ? a.writtenMs > b.writtenMs : a.name > b.name;
    });
    return out;
}

std::optional<SyncBaseStore::StoredBase> SyncBaseStore::latest(const std::unordered_set<quint64>* within) const
{
    for (const Listed& base : list()) {
        if (QFileInfo(base.path).isSymLink())
            continue;
        if (within) {
            bool ok = false;
            const quint64 id = base.name.toULongLong(&ok, 16);
            if (!ok || !within->count(id))
                continue;
        }
        QFile file(base.path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            continue;
        return StoredBase{base.name, std::move(bytes), base.writtenMs};
    }
    return std::nullopt;
}

std::unique_ptr<DocumentState> SyncBaseStore::find(const std::unordered_set<quint64>& common,
                                                   const QString& metaPassword) const
{
    for (const Listed& base : list()) {
        bool ok = false;
        const quint64 id = base.name.toULongLong(&ok, 16);
        if (!ok || base.name == kNoLineage || !common.count(id) || QFileInfo(base.path).isSymLink())
            continue;
        docfile::OpenedDocument opened = docfile::openFile(base.path, metaPassword, {});
        // The file must be the version its name says, else it is no base of both copies.
        if (!opened.ok() || lineage::ownVersion(opened.header) != id)
            continue;
        auto doc = std::make_unique<DocumentState>();
        doc->LocalDoc = opened.header;
        doc->MetaPassword = metaPassword;
        if (!docfile::readRecordsConsuming(opened, *doc, false, {}).ok)
            continue;
        return doc;
    }
    return nullptr;
}
