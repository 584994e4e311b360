#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QToolButton;
class TFileFTP;

// The status bar's panel for the download that follows an open ("panelLoadFTP"): the transfer's
// status text ("lblFTP"), its progress bar ("ProgressBar") and its Stop button ("bnFtpStop"). It
// takes no room while no such download runs.
class TransferPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TransferPanel(QWidget* parent = nullptr);

    // Shown with a busy bar until the transfer reports its size (start), or hidden (end).
    void showTransfer(bool visible);
    // The status text and the progress of `worker` are shown here while it runs.
    void follow(TFileFTP* worker);

signals:
    // The Stop button was clicked.
    void stopRequested();

private:
    QLabel* m_label;
    QProgressBar* m_progress;
    QToolButton* m_stop;
};
