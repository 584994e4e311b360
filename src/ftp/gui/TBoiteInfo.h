#pragma once

#include "document/DocumentModel.h"
#include "ftp/Synchronisation.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;

// The file properties dialog: the header properties of the local document beside those of its
// last FTP copy, in a three-column list, with either an OK button or a question answered by
// Oui and Non. Made once at start-up and reused.
//
// Under the modal seam nothing is shown: the seam is asked ("BoiteInfo", the question, the mode)
// and answers a PropertiesAnswer value.
class TBoiteInfo : public QDialog
{
    Q_OBJECT
public:
    enum Mode
    {
        InformationOnly = -1,
        ProposeLocal = 0,
        ProposeFtp = 1
    };

    explicit TBoiteInfo(QWidget* parent = nullptr);

    // Fills the list and shows the dialog modally. When asking (ProposeLocal, ProposeFtp) with
    // `autoSync` on, answers Yes without showing anything.
    PropertiesAnswer ShowProperties(const TDoc& local, const TDoc& remote, int mode, bool autoSync);

    // The value column drawn on the info background: 0 local, 1 FTP, -1 none.
    int HighlightColumn = -1;

    QTreeWidget* ListeInfo = nullptr;
    QLabel* lblAsk = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnYes = nullptr;
    QPushButton* btnNo = nullptr;

public slots:
    // The close box: no button was pressed.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fill(const TDoc& local, const TDoc& remote);
    int m_mode = InformationOnly;
};
