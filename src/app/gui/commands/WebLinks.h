#pragma once

#include <QObject>
#include <QPoint>

class DocumentView;
class QAction;
class QTimer;

// The web addresses of the entry list: the Open web site command, the hand pointer over an
// address as drawn, and the single click on it, which opens it once the double-click time has
// passed without a second click (a double click edits the address instead).
class WebLinks : public QObject
{
    Q_OBJECT
public:
    // `openUrl` is the Open web site command (ActionOpenURL); a click opens through it, and only
    // while it is enabled.
    WebLinks(DocumentView* view, QAction* openUrl, QObject* parent = nullptr);

    // ActionOpenURL: the selected entry's address with its login and password put in, opened by
    // the shell (a link) or run (a program and its parameters). Nothing is reported.
    void OpenWebSite();

    // The list shows the hand pointer at this point of its viewport: over a row (hit tested 10
    // pixels from the left edge), on the web address as drawn, the address not being empty.
    bool linkPointerAt(const QPoint& viewportPos) const;
    // ListeMouseMove: the pointer follows linkPointerAt.
    void ListeMouseMove(const QPoint& viewportPos);
    // ListeClick: a left click released at this point of the viewport.
    void ListeClick(const QPoint& viewportPos);
    // timerClick: one-shot, the double-click time. A double click stops it.
    QTimer* clickTimer() const { return m_timer; }
    void stopClickTimer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void timerClickTimer();

    DocumentView* m_view;
    // The list's viewport, kept apart from the view: its events still come while the view is
    // being destroyed, when the view can no longer be asked for it.
    QWidget* m_viewport = nullptr;
    QAction* m_openUrl;
    QTimer* m_timer;
    bool m_handShown = false;
    // The release that ends a double click is no single click.
    bool m_releaseEndsDoubleClick = false;
};
