#pragma once

#include <QLabel>

// A one-line label that shows a text too long for its width cut at the end with an ellipsis
// ("…"), never in the middle of a word without a sign. text() stays the whole text.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    // The text as it is drawn at the label's present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
