#pragma once

#include <QString>

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
