#pragma once

#include "document/DocumentModel.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

// The last copies a local document and its copy on a server agreed on (after a server copy was
// taken or merged, after a verified upload): the base of the next three-way merge. Each is kept
// enciphered exactly as the server holds it (same protection and key as the document), in the
// user's state folder -- $XDG_STATE_HOME/tresorin/sync/, never beside the document, where a
// file-syncing tool would carry it -- one sub-folder per pair (local document, server copy),
// files "<id>.base" named by the copy's own lineage id ("nolineage.base" for a copy without
// one). Folders are the owner's only (0700), files too (0600); a symbolic link where one of the
// store's folders or files should be is refused and nothing is written; at most kMaxBases are
// kept per pair, the newest.
class SyncBaseStore
{
public:
    static constexpr int kMaxBases = 4;

    // The pair, with the parameters the transfers actually use (the FTP entry's when the
    // document uses one).
    struct Pair
    {
        QString localPath;
        QString server;
        int port = 0;
        QString remotePath;
        QString user;
    };

    explicit SyncBaseStore(const Pair& pair);

    // $XDG_STATE_HOME/tresorin/sync
    static QString rootFolder();
    // The pair's folder: rootFolder()/<SHA-256 hex of the canonical absolute local path, server,
    // port, remote path and user, separated by NUL characters>.
    QString folder() const { return m_folder; }

    // Keeps `enciphered` (the agreed copy's bytes) as a base, named by its header's own version.
    // Fails, with the reason, when a folder cannot be made, a symbolic link stands in the way or
    // the write fails; the bases kept before are then as they were.
    bool keep(const QByteArray& enciphered, const TDoc& header, QString* error);

    struct StoredBase
    {
        QString name;     // the id (16 hex digits) or "nolineage"
        QByteArray bytes; // enciphered, as the server held them
        qint64 writtenMs = 0;
    };
    // The newest base (by write time), or the newest whose id is in `within` when given. For the
    // cheap check before an upload: its bytes compare with the server's copy without deciphering.
    std::optional<StoredBase> latest(const std::unordered_set<quint64>* within = nullptr) const;

    // The newest base whose own id is in `common` (the ids both copies descend from), read and
    // deciphered with metaPassword: the base of a three-way merge. A base that cannot be read
    // (damaged, another password, not the version its name says) is passed over for the next
    // one; null when none is left. A copy without lineage is never returned: nothing proves both
    // sides descend from it.
    std::unique_ptr<DocumentState> find(const std::unordered_set<quint64>& common, const QString& metaPassword) const;

private:
    struct Listed
    {
        QString name;
        QString path;
        qint64 writtenMs = 0;
    };
    // The regular "*.base" files of the pair's folder, newest first (no folder: none).
    std::vector<Listed> list() const;

    QString m_folder;
};
