#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QProcess;

namespace testsupport {

// Writes that fail part-way, as on a full disk, for any user: a file-size limit (RLIMIT_FSIZE)
// with SIGXFSZ ignored makes every write past limitBytes fail with EFBIG ("File too large").
// The limit is set in a forked child only, so the test process itself is never limited.
//
// Runs work in such a child and returns the bytes it returned, sent back through a pipe; nothing
// when the child could not be made or ended without reporting.
std::optional<QByteArray> runWithFileSizeLimit(qint64 limitBytes, const std::function<QByteArray()>& work);

// Makes the program that process starts run under the same limit (call before start()).
void limitFileSize(QProcess& process, qint64 limitBytes);

// The same limit on this process while the object lives, for code that can only run here (the
// window). Only the code run in between may write files.
class ScopedFileSizeLimit
{
public:
    explicit ScopedFileSizeLimit(qint64 limitBytes);
    ~ScopedFileSizeLimit();
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    qint64 m_savedLimit = -1;
    bool m_savedUnlimited = true;
    void (*m_savedHandler)(int) = nullptr;
};

// A real full disk: a small tmpfs mounted on a folder for the life of this object, then
// unmounted. Only the super-user can mount; ok() is false (with the reason) otherwise.
class SmallTmpfs
{
public:
    SmallTmpfs(const QString& folder, int kibibytes);
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool ok() const { return m_mounted; }
    QString failure() const { return m_failure; }
    QString path() const { return m_folder; }

    // Takes the whole free space with a file "filler"; true when the disk is then full.
    bool fill() const;
    // Gives the space taken by fill() back.
    void release() const;

private:
    QString m_folder;
    QString m_failure;
    bool m_mounted = false;
};

} // namespace testsupport
