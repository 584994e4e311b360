#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The open and save dialogs of the program, asked through the modal seam first (dialogs
// "OpenFile" and "SaveFile"; a test answers with a path, or an empty string for Cancel).

// Both dialogs offer Tresorin documents (*.pass) and all files; the texts are the same French
// ones in every language.
QString documentFileFilter();

// The open dialog: an existing file, or an empty string when the user cancels.
QString AskOpenFileName(QWidget* parent, const QString& title, const QString& folder, const QString& fileName);

// The save dialog: it asks before replacing an existing file. Empty when the user cancels.
QString AskSaveFileName(QWidget* parent, const QString& title, const QString& folder, const QString& fileName);

// Both dialogs with filters of their own instead of the documents' (imports and exports): the
// filters are recorded as the seam's detail, and chosenFilter gets the index of the one the user
// had selected (-1 when unknown, as under the seam).
QString AskOpenFileName(QWidget* parent, const QString& title, const QStringList& filters, int* chosenFilter);
QString AskSaveFileName(QWidget* parent, const QString& title, const QStringList& filters, int* chosenFilter);
