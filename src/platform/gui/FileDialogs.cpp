#include "platform/gui/FileDialogs.h"

#include "platform/gui/ModalSeam.h"

#include <QDir>
#include <QFileDialog>

namespace {
QString askFiltered(QWidget* parent, bool save, const QString& title, const QStringList& filters, int* chosenFilter)
{
    if (chosenFilter)
        *chosenFilter = -1;
    const QString joined = filters.join(QStringLiteral(";;"));
    if (ModalSeam::active()) {
        return ModalSeam::ask(
                   {save ? QStringLiteral("SaveFile") : QStringLiteral("OpenFile"), title, 0, 0, parent, joined},
                   QString())
            .toString();
    }
    QString chosen;
    const QString path = save ? QFileDialog::getSaveFileName(parent, title, QString(), joined, &chosen)
                              : QFileDialog::getOpenFileName(parent, title, QString(), joined, &chosen);
    if (chosenFilter)
        *chosenFilter = int(filters.indexOf(chosen));
    return path;
}

QString startPath(const QString& folder, const QString& fileName)
{
    if (fileName.isEmpty())
        return folder;
    if (QDir::isAbsolutePath(fileName) || folder.isEmpty())
        return fileName;
    return QDir(folder).filePath(fileName);
}
} // namespace

QString documentFileFilter()
{
    return QStringLiteral("Documents Tresorin (*.pass);;Tous les fichiers (*)");
}

QString AskOpenFileName(QWidget* parent, const QString& title, const QString& folder, const QString& fileName)
{
    if (ModalSeam::active())
        return ModalSeam::ask({QStringLiteral("OpenFile"), title, 0, 0}, QString()).toString();
    return QFileDialog::getOpenFileName(parent, title, startPath(folder, fileName), documentFileFilter());
}

QString AskSaveFileName(QWidget* parent, const QString& title, const QString& folder, const QString& fileName)
{
    if (ModalSeam::active())
        return ModalSeam::ask({QStringLiteral("SaveFile"), title, 0, 0}, QString()).toString();
    return QFileDialog::getSaveFileName(parent, title, startPath(folder, fileName), documentFileFilter());
}

QString AskOpenFileName(QWidget* parent, const QString& title, const QStringList& filters, int* chosenFilter)
{
    return askFiltered(parent, false, title, filters, chosenFilter);
}

QString AskSaveFileName(QWidget* parent, const QString& title, const QStringList& filters, int* chosenFilter)
{
    return askFiltered(parent, true, title, filters, chosenFilter);
}
