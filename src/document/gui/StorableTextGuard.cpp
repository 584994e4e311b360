#include "document/gui/StorableTextGuard.h"

#include "lang/LangTable.h"
#include "platform/Win1252.h"
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
    m_lastLength = storedLength();
    connect(edit->document(), &QTextDocument::contentsChange, this, &PlainTextGuard::onContentsChange);
    // Connected after the editor's own handlers: the edit is complete when this runs.
    connect(edit, &QPlainTextEdit::textChanged, this, &PlainTextGuard::onTextChanged);
}

void StorableTextGuard::PlainTextGuard::setSuspended(bool suspended)
{
    m_suspended = suspended;
    if (!suspended) {
        m_pending = false;
        m_lastLength = storedLength();
    }
}

int StorableTextGuard::PlainTextGuard::storedLength() const
{
    const QTextDocument* doc = m_edit->document();
    // Characters without the final paragraph end, plus one more for each line break (CR LF).
    return doc->characterCount() - 1 + doc->blockCount() - 1;
}

void StorableTextGuard::PlainTextGuard::onContentsChange(int position, int removed, int added)
{
    Q_UNUSED(removed);
    if (m_fixing || m_suspended)
        return;
    m_position = position;
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
    int end = std::clamp(m_position + m_added, start, length);

    // Inserted characters the code page cannot hold; line breaks are fine.
    std::vector<int> refused;
    for (int i = start; i < end; ++i) {
        const QChar c = doc->characterAt(i);
        if (c != QChar::ParagraphSeparator && c != QChar::LineSeparator && !win1252::canHold(c))
            refused.push_back(i);
    }
    if (!refused.empty()) {
        m_fixing = true;
        QTextCursor cursor(doc);
        cursor.joinPreviousEditBlock();
        for (auto it = refused.rbegin(); it != refused.rend(); ++it) {
            cursor.setPosition(*it);
            cursor.setPosition(*it + 1, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
        cursor.endEditBlock();
        m_fixing = false;
        end -= static_cast<int>(refused.size());
    }

    // The text may keep what it held before, however long, and grow only up to the limit: the
    // end of what was just inserted goes.
    if (m_maxLength >= 0) {
        const int allowed = std::max(m_lastLength, m_maxLength);
        int excess = storedLength() - allowed;
        if (excess > 0) {
            int cut = end;
            while (excess > 0 && cut > start) {
                --cut;
                const QChar c = doc->characterAt(cut);
                excess -= c == QChar::ParagraphSeparator ? 2 : 1;
            }
            m_fixing = true;
            QTextCursor cursor(doc);
            cursor.joinPreviousEditBlock();
            cursor.setPosition(cut);
            cursor.setPosition(end, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            cursor.endEditBlock();
            m_fixing = false;
        }
    }
    m_lastLength = storedLength();
    if (!refused.empty())
        StorableTextGuard::instance()->announceRefusal();
}
