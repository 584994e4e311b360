#include "document/gui/StorableTextGuard.h"

#include "document/Win1252.h"
#include "lang/LangTable.h"
#include "platform/gui/Sound.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <vector>

StorableTextGuard* StorableTextGuard::instance()
{
    static StorableTextGuard* guard = new StorableTextGuard;
    return guard;
}

void StorableTextGuard::announceRefusal()
{
    platform::playSound(platform::SystemSound::Exclamation);
    emit refused(Msg(QStringLiteral("CarNonStocke")));
}

void StorableTextGuard::install(QLineEdit* edit)
{
    if (edit)
        edit->setValidator(new StorableTextValidator(edit));
}

StorableTextGuard::PlainTextGuard* StorableTextGuard::install(QPlainTextEdit* edit, int maxLength)
{
    return edit ? new PlainTextGuard(edit, maxLength) : nullptr;
}

// ---------------------------------------------------------------------------------------------

StorableTextValidator::StorableTextValidator(QLineEdit* edit) : QValidator(edit), m_edit(edit)
{
    m_accepted = edit->text();
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { m_accepted = text; });
}

QValidator::State StorableTextValidator::validate(QString& input, int& pos) const
{
    Q_UNUSED(pos);
    // Counted rather than compared, so that a character the field already held does not block
    // the edits around it.
    if (win1252::unholdableCount(input) > win1252::unholdableCount(m_accepted)) {
        StorableTextGuard::instance()->announceRefusal();
        return Invalid;
    }
    return Acceptable;
}

// ---------------------------------------------------------------------------------------------

StorableTextGuard::PlainTextGuard::PlainTextGuard(QPlainTextEdit* edit, int maxLength)
    : QObject(edit), m_edit(edit), m_maxLength(maxLength)
{
    connect(edit->document(), &QTextDocument::contentsChange, this, &PlainTextGuard::onContentsChange);
    // Connected after the editor's own handlers: the edit is complete when this runs.
    connect(edit, &QPlainTextEdit::textChanged, this, &PlainTextGuard::onTextChanged);
}

void StorableTextGuard::PlainTextGuard::onContentsChange(int position, int removed, int added)
{
    if (m_fixing || m_suspended)
        return;
    m_position = position;
    m_removed = removed;
    m_added = added;
    m_pending = true;
}

void StorableTextGuard::PlainTextGuard::onTextChanged()
{
    if (m_fixing || m_suspended || !m_pending)
        return;
    m_pending = false;
    QTextDocument* doc = m_edit->document();
    const int length = doc->characterCount() - 1; // without the final paragraph end
    const int start = std::clamp(m_position, 0, length);
    const int end = std::clamp(m_position + m_added, start, length);
    if (end == start)
        return;

    // Positions of inserted characters the code page cannot hold; line breaks are fine.
    std::vector<int> refused;
    for (int i = start; i < end; ++i) {
        const QChar c = doc->characterAt(i);
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            continue;
        if (!win1252::canHold(c))
            refused.push_back(i);
    }
    // The document holds what it held before and at most the limit.
    int excess = 0;
    if (m_maxLength >= 0) {
        const int before = length - m_added + m_removed;
        const int allowed = std::max(before, m_maxLength);
        excess = std::max(0, length - static_cast<int>(refused.size()) - allowed);
    }
    if (refused.empty() && excess == 0)
        return;

    m_fixing = true;
    QTextCursor cursor(doc);
    cursor.joinPreviousEditBlock();
    for (auto it = refused.rbegin(); it != refused.rend(); ++it) {
        cursor.setPosition(*it);
        cursor.setPosition(*it + 1, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    if (excess > 0) {
        const int insertedEnd = end - static_cast<int>(refused.size());
        cursor.setPosition(insertedEnd - excess);
        cursor.setPosition(insertedEnd, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.endEditBlock();
    m_fixing = false;
    if (!refused.empty())
        StorableTextGuard::instance()->announceRefusal();
}
