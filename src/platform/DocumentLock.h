#pragma once

#include <QString>

#include <memory>

// Who holds a document: a window that has it open (or is opening it) holds a lock keyed by the
// document's canonical path, so that no other window of the same user opens it a second time and
// silently drops the other's changes on its next save.
//
// The lock is a file "document-<SHA-256 of the path>.lock" in the private folder of the instance
// sockets (SingleInstance::folder()), never beside the document, locked with flock(): the lock
// ends with the process however it ends, and a normal release removes the file, so that nothing
// stays in the user's folders after a crash. The file holds the holder's process id, which names
// the socket through which it is asked to come forward. Within one process a path is held once,
// shared by everyone who holds it.
class DocumentLock
{
public:
    ~DocumentLock();
    DocumentLock(const DocumentLock&) = delete;
    DocumentLock& operator=(const DocumentLock&) = delete;

    enum class Outcome
    {
        Held,          // this process holds it now (handle set)
        HeldElsewhere, // another process holds it (holder: its process id, 0 while it writes it)
        Unavailable    // no private folder, or the lock file cannot be had: nothing is known
    };
    struct Result
    {
        Outcome outcome = Outcome::Unavailable;
        std::shared_ptr<DocumentLock> handle;
        qint64 holder = 0;
    };

    // The lock of canonicalPath in folder: shared with this process's other holders when it
    // holds it already.
    static Result acquire(const QString& folder, const QString& canonicalPath);
    // The key of the document at path: its canonical path (links resolved), or its clean absolute
    // path while it does not exist.
    static QString keyFor(const QString& path);
    // Whether this process holds the lock of canonicalPath (in any folder).
    static bool heldHere(const QString& canonicalPath);
    // The lock file of canonicalPath in folder.
    static QString lockFilePath(const QString& folder, const QString& canonicalPath);

    const QString& documentPath() const { return m_document; }

private:
    DocumentLock() = default;

    QString m_document;
    QString m_file;
    int m_fd = -1;
};
