#pragma once

#include <QString>

class QWidget;

// The program's dialogs are top-level windows of their own (they are made once at start-up,
// beside the main window, not inside it). Before a dialog is shown modally this centres it on the
// window that asks (the active window, else the application's main window) and tells the window
// system that it belongs to that window, so that it stays above it.
void PlaceDialogOverOwner(QWidget* dialog);

// The window a dialog about to be shown belongs to: the active window, else (between two modal
// dialogs, when none is active) the visible main window; null when there is neither.
QWidget* DialogOwner(const QWidget* dialog = nullptr);

// The width a dialog needs for the window system to show `title` whole in its title bar: the
// title's width in the application's font, with room for the window's icon and buttons. The title
// bar's own font is the window system's, so this keeps a generous margin.
int WidthForTitle(const QString& title);
