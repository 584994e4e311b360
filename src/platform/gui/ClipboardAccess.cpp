#include "platform/gui/ClipboardAccess.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

namespace clipboard {

namespace {

void markSecret(QMimeData* data)
{
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
}

} // namespace

QMimeData* setText(const QString& text, bool secret)
{
    auto* data = new QMimeData;
    data->setText(text);
    if (secret)
        markSecret(data);
    QApplication::clipboard()->setMimeData(data);
    return data;
}

QMimeData* setEntry(const QString& password, const QString& mimeType, const QByteArray& record)
{
    auto* data = new QMimeData;
    data->setText(password);
    data->setData(mimeType, record);
    markSecret(data);
    QApplication::clipboard()->setMimeData(data);
    return data;
}

bool holdsText()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && data->hasText();
}

QString text()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data ? data->text() : QString();
}

bool holds(const QString& mimeType)
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && data->hasFormat(mimeType);
}

QByteArray data(const QString& mimeType)
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data ? data->data(mimeType) : QByteArray();
}

void empty()
{
    QApplication::clipboard()->setText(QString());
}

} // namespace clipboard
