#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// A temporary folder removed with everything in it at the end of the test, also when a test made
// parts of it read-only.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    // Absolute path of name (which may contain subfolders) inside the folder.
    QString filePath(const QString& name) const;

    // Writes bytes to name, creating subfolders; false on any failure.
    bool writeFile(const QString& name, const QByteArray& bytes) const;
    // The content of name, or an empty array when it cannot be read.
    QByteArray readFile(const QString& name) const;
    bool exists(const QString& name) const;
    // Creates the subfolder name (and its parents); returns its absolute path.
    QString makeFolder(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

} // namespace testsupport
