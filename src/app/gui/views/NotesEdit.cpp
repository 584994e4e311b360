#include "app/gui/views/NotesEdit.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>

void RouteClipboardActions(QMenu* menu, const std::function<void(bool cut)>& copy, QLineEdit* lineEdit)
{
    for (QAction* action : menu->actions()) {
        bool cut = action->objectName() == QLatin1String("edit-cut");
        bool routed = cut || action->objectName() == QLatin1String("edit-copy");
        if (!routed && lineEdit) {
            // A connection that existed is reported by its removal; toolkit versions connect by
            // name or by member pointer.
            const auto connectedTo = [action, lineEdit](const char* slot, void (QLineEdit::*member)()) {
                const bool byName = QObject::disconnect(action, SIGNAL(triggered()), lineEdit, slot);
                const bool byMember = QObject::disconnect(action, &QAction::triggered, lineEdit, member);
                return byName || byMember;
            };
            cut = connectedTo(SLOT(cut()), &QLineEdit::cut);
            routed = cut || QObject::disconnect(action, SIGNAL(triggered()), lineEdit, SLOT(copy())) ||
                     QObject::disconnect(action, &QAction::triggered, lineEdit, &QLineEdit::copy);
            if (routed)
                action->setObjectName(cut ? QStringLiteral("edit-cut") : QStringLiteral("edit-copy"));
        }
        if (!routed)
            continue;
        QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
        QObject::connect(action, &QAction::triggered, menu, [copy, cut] { copy(cut); });
    }
}

NotesEdit::NotesEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

QMenu* NotesEdit::createContextMenu()
{
    QMenu* menu = createStandardContextMenu();
    RouteClipboardActions(menu, [this](bool cut) { emit copyRequested(cut); });
    return menu;
}

void NotesEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

QMimeData* NotesEdit::createMimeDataFromSelection() const
{
    // Used by the toolkit for drags and its own copy: no format another program understands.
    QString text = textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    auto* data = new QMimeData;
    data->setData(QLatin1String(kDragMimeType), text.toUtf8());
    return data;
}

bool NotesEdit::canInsertFromMimeData(const QMimeData* source) const
{
    return source->hasFormat(QLatin1String(kDragMimeType)) || QPlainTextEdit::canInsertFromMimeData(source);
}

void NotesEdit::insertFromMimeData(const QMimeData* source)
{
    if (source->hasFormat(QLatin1String(kDragMimeType))) {
        insertPlainText(QString::fromUtf8(source->data(QLatin1String(kDragMimeType))));
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}
