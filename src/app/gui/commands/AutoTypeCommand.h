#pragma once

#include "autotype/Platform.h"
#include "autotype/Typist.h"
#include "document/DocumentModel.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class DocumentView;
class IdleLock;
class TBoiteAutoType;
class TrayMinimiser;
class QWidget;
struct Settings;
struct TFeuille;

// Auto-type: the global shortcut types the entry that matches the active window's title into
// that window; Item > Auto-type types the selected entry into the window that was active before
// ours, once ours is out of the way. Several matches (or one found only by a '*' pattern whose
// sequence types the password) go through the chooser; a locked document asks its meta password
// first, through the idle lock's own prompt. What it cannot do it says in a message.
class AutoTypeCommand : public QObject
{
    Q_OBJECT
public:
    // Makes the window-system layer; tests put a scripted one (or an X server of their own) here.
    // Unset: the X11 layer where an X server is reachable, nothing elsewhere.
    static std::function<std::unique_ptr<autotype::Platform>()> PlatformFactory;

    AutoTypeCommand(DocumentState& doc, DocumentView* view, IdleLock& idle, TrayMinimiser& tray, Settings& settings,
                    QWidget* window, QObject* parent = nullptr);
    ~AutoTypeCommand() override;

    // Where auto-type can work in this session.
    autotype::Availability availability() const { return m_availability; }
    autotype::Platform* platform() const { return m_platform.get(); }
    autotype::Typist* typist() const { return m_typist.get(); }
    TBoiteAutoType* chooser() const { return m_chooser; }

    // Takes the shortcut of the settings (again, after the options changed it). With `tell`, a
    // shortcut that cannot work is said in a message box; else in the status bar.
    void applyShortcut(bool tell);

    // ActionAutoType: the selected entry into the window used before ours.
    void ActionAutoTypeExecute();
    // The global shortcut was pressed.
    void shortcutPressed();

signals:
    void statusText(const QString& text);

private:
    struct Request
    {
        autotype::Platform::WindowId window = 0;
        QString title;
        bool activateFirst = false; // our own window or dialog took the keyboard meanwhile
        // The document when the shortcut was pressed: a prompt cancelled into a new document
        // leaves nothing to type.
        std::optional<DocumentTicket> ticket;
    };
    void proceed(Request request);
    // Builds what the entry types and starts typing it; false (with the message shown) when the
    // sequence or a field cannot be typed.
    bool typeEntry(const TFeuille& entry, const Request& request);
    void typingFinished(autotype::Typist::Outcome outcome);
    // A message the user should see without having asked a question: in the tray when the
    // window is there, else in a box.
    void notice(const QString& text);
    QString unavailableText() const;

    DocumentState& m_doc;
    DocumentView* m_view;
    IdleLock& m_idle;
    TrayMinimiser& m_tray;
    Settings& m_settings;
    QWidget* m_window;
    autotype::Availability m_availability = autotype::Availability::None;
    std::unique_ptr<autotype::Platform> m_platform;
    std::unique_ptr<autotype::Typist> m_typist;
    TBoiteAutoType* m_chooser;
    std::optional<Request> m_pending; // waiting for the idle lock's prompt
    bool m_busy = false;              // a shortcut is being answered (chooser, prompt, message)
};
