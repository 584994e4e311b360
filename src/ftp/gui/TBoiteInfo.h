#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;

// The file properties dialog: the header properties of the local document beside those of its
// last FTP copy, in a three-column list, with either an OK button or a question answered by
// Oui and Non. Made once at start-up and reused.
class TBoiteInfo : public QDialog
{
    Q_OBJECT
public:
    explicit TBoiteInfo(QWidget* parent = nullptr);

    QTreeWidget* ListeInfo = nullptr;
    QLabel* lblAsk = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnYes = nullptr;
    QPushButton* btnNo = nullptr;
};
