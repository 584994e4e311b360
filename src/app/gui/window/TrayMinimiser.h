#pragma once

#include <QObject>

#include <functional>
#include <optional>

class QSystemTrayIcon;
class QWidget;

// Minimising the main window to the notification area: the tray icon takes the place of the
// window, which is hidden (so no task-bar button is left), and a click on the icon brings the
// window back. Where the desktop has no notification area the window is minimised as usual, so
// it can always be brought back.
class TrayMinimiser : public QObject
{
    Q_OBJECT
public:
    // The fixed hint of the tray icon, in both languages.
    static const char* const kRestoreHint;

    // `trayWanted` is the Tray setting: minimising the window sends it to the tray.
    TrayMinimiser(QWidget* window, std::function<bool()> trayWanted, QObject* parent = nullptr);

    // The desktop shows tray icons; tests set what the class should take it to be (offscreen and
    // bare X servers have no tray).
    bool trayAvailable() const;
    void setTrayAvailableForTest(std::optional<bool> available) { m_availableOverride = available; }

    // The window is in the tray: the icon is shown, the window hidden.
    bool active() const { return m_active; }
    QSystemTrayIcon* icon() const { return m_icon; }

    // The minimise-to-tray button: minimises the window, then sends it to the tray whatever the
    // Tray setting says (without a tray it stays minimised).
    void minimiseToTray();
    // EvenAppliRestore: the icon goes, the window comes back as it was before it was minimised,
    // in front.
    void EvenAppliRestore();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void sendToTray();

    QWidget* m_window;
    std::function<bool()> m_trayWanted;
    QSystemTrayIcon* m_icon;
    std::optional<bool> m_availableOverride;
    bool m_active = false;
};
