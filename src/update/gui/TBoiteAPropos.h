#pragma once

#include <QDialog>
#include <QPixmap>

class QEvent;
class QFrame;
class QLabel;
class QPushButton;
class QTabWidget;
class QTextBrowser;

// The about box: the program's name and version, the maker's web address, a donation image and
// the release notes, on two tabs above an OK button. Made once at start-up and reused.
// It also holds the program's version for the update check, opens the support page, and hides two
// gestures on the maker's line (Shift and a right click): the release of the main window's
// read-only lock, and with Ctrl the translator's export of the seven windows' texts.
class TBoiteAPropos : public QDialog
{
    Q_OBJECT
public:
    explicit TBoiteAPropos(QWidget* parent = nullptr);

    // The version the update check compares, four numbers joined by ".".
    QString ProgramVersion() const { return m_programVersion; }

    // Opens the support page for this version and system.
    void SupportLink();
    // The support page's address SupportLink opens.
    QString supportAddress() const;

    // Shows the box modally (under the test seam: records "About" and shows nothing).
    void execModal();

    // Where the translator's export writes: "Traduc" beside the executable unless a test says
    // otherwise. The folder must exist.
    QString translationFolder() const;
    void setTranslationFolder(const QString& folder) { m_translationFolder = folder; }

    // Shows the donation image of the language ("PAYPAL_FR" for exactly "FR", else "PAYPAL_EN")
    // and makes the donation link point at the page in that language.
    void setDonationLanguage(const QString& code);
    QString donationLink() const { return m_donationLink; }
    QString donationImageName() const { return m_donationImage; }

    QTabWidget* Onglet = nullptr;
    QWidget* pgAbout = nullptr;
    QWidget* pgHisto = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* imgLogo = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* LabelVersion = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* imgPaypal = nullptr;
    QLabel* LabelSite = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QTextBrowser* reVersion = nullptr;
    QPushButton* OKBtn = nullptr;

signals:
    // The gesture asks to release the main window's read-only lock.
    void readOnlyLockReleaseRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void makerLineReleased(QEvent* event);
    void exportWindowTexts();

    QString m_programVersion;
    QString m_translationFolder;
    QString m_donationLink;
    QString m_donationImage;
};

// The donation address for a language: the first "[LANG]" (letter case counts) replaced by code.
QString DonationLinkFor(const QString& address, const QString& code);
// Name of the donation image for a language code.
QString DonationImageName(const QString& code);
// The donation badge of that name, painted by the program.
QPixmap DonationImage(const QString& name);
