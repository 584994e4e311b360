#include "app/gui/commands/AutoTypeCommand.h"

#include "app/gui/views/DocumentView.h"
#include "app/gui/window/IdleLock.h"
#include "app/gui/window/TrayMinimiser.h"
#include "autotype/Sequence.h"
#include "autotype/WindowMatch.h"
#include "autotype/X11Platform.h"
#include "autotype/gui/TBoiteAutoType.h"
#include "crypto/OneTimeCode.h"
#include "crypto/SecureBytes.h"
#include "document/EntrySearch.h"
#include "lang/LangTable.h"
#include "lang/gui/ShowMsg.h"
#include "lang/gui/WindowTranslation.h"
#include "platform/gui/ModalSeam.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

std::function<std::unique_ptr<autotype::Platform>()> AutoTypeCommand::PlatformFactory;

namespace {

QString msg(const char* key, const QStringList& args = {})
{
    const QString text = Msg(QString::fromLatin1(key));
    return args.isEmpty() ? text : FillPlaceholders(text, args);
}

QString fieldName(autotype::SequenceItem::Kind field)
{
    // The names of the fields as the import messages give them: name~login~password~web address.
    const QString names = Msg(QStringLiteral("Champs"));
    switch (field) {
    case autotype::SequenceItem::Username:
        return ExtractField(2, names);
    case autotype::SequenceItem::Password:
        return ExtractField(3, names);
    case autotype::SequenceItem::Url:
        return ExtractField(4, names);
    case autotype::SequenceItem::Totp:
        return QStringLiteral("{TOTP}");
    default:
        return QStringLiteral("Auto-Type"); // literal text of the notes line
    }
}

} // namespace

AutoTypeCommand::AutoTypeCommand(DocumentState& doc, DocumentView* view, IdleLock& idle, TrayMinimiser& tray,
                                 Settings& settings, QWidget* window, QObject* parent)
    : QObject(parent), m_doc(doc), m_view(view), m_idle(idle), m_tray(tray), m_settings(settings), m_window(window),
      m_chooser(new TBoiteAutoType(window))
{
    if (PlatformFactory) {
        m_platform = PlatformFactory();
        m_availability = m_platform ? autotype::Availability::X11 : autotype::Availability::None;
    } else {
        m_availability =
            autotype::availabilityFor(QGuiApplication::platformName(), qEnvironmentVariableIsSet("DISPLAY"),
                                      qEnvironmentVariableIsSet("WAYLAND_DISPLAY"));
        if (m_availability == autotype::Availability::X11) {
            auto x11 = std::make_unique<autotype::X11Platform>();
            if (x11->isOpen())
                m_platform = std::move(x11);
            else
                m_availability = autotype::Availability::None;
        }
    }
    if (!m_platform)
        return;
    m_typist = std::make_unique<autotype::Typist>(*m_platform);
    connect(m_platform.get(), &autotype::Platform::pressed, this, &AutoTypeCommand::shortcutPressed);
    connect(m_typist.get(), &autotype::Typist::finished, this, &AutoTypeCommand::typingFinished);
    connect(&m_idle, &IdleLock::unlocked, this, [this] {
        // After the prompt has gone: the typing goes to the window that was active.
        if (m_pending)
            QTimer::singleShot(0, this, [this] {
                if (!m_pending)
                    return;
                Request request = *m_pending;
                m_pending.reset();
                if (!request.ticket->stillOpen())
                    return;
                request.activateFirst = true;
                proceed(request);
            });
    });
}

AutoTypeCommand::~AutoTypeCommand() = default;

QString AutoTypeCommand::unavailableText() const
{
    return msg(m_availability == autotype::Availability::WaylandOnly ? "AutoTypeWayland" : "AutoTypeX11");
}

void AutoTypeCommand::applyShortcut(bool tell)
{
    const QKeySequence shortcut = QKeySequence::fromString(m_settings.AutoTypeShortcut, QKeySequence::PortableText);
    QString problem;
    if (shortcut.isEmpty() && !m_settings.AutoTypeShortcut.isEmpty()) {
        // Text the toolkit reads as no key at all (written by hand into the settings file).
        problem = msg("AutoTypeRaccourci", {m_settings.AutoTypeShortcut});
        if (m_platform)
            m_platform->setShortcut(QKeySequence());
    } else if (!m_platform) {
        if (!shortcut.isEmpty() && m_availability == autotype::Availability::WaylandOnly)
            problem = unavailableText();
    } else if (!m_platform->setShortcut(shortcut)) {
        problem = msg("AutoTypeRaccourci", {shortcut.toString(QKeySequence::NativeText)});
    }
    if (problem.isEmpty())
        return;
    if (tell)
        ShowMsg(problem, MsgKind::Warning, MsgOK, m_window);
    else
        emit statusText(problem);
}

void AutoTypeCommand::notice(const QString& text)
{
    if (m_tray.active() && m_tray.icon()) {
        if (ModalSeam::active())
            ModalSeam::record({QStringLiteral("TrayMessage"), text});
        else
            m_tray.icon()->showMessage(QStringLiteral("Tresorin"), text, QSystemTrayIcon::Information);
    } else {
        ShowMsg(text, MsgKind::Information, MsgOK, m_window);
    }
}

void AutoTypeCommand::shortcutPressed()
{
    if (!m_platform || m_busy || m_typist->running() || m_pending)
        return;
    m_busy = true;
    const auto done = qScopeGuard([this] { m_busy = false; });
    Request request;
    request.window = m_platform->activeWindow();
    if (!request.window) {
        notice(msg("AutoTypeFenetre"));
        return;
    }
    // Pressed over one of our own windows: there is no login form of ours to fill.
    if (m_platform->isOwnWindow(request.window))
        return;
    request.title = m_platform->windowTitle(request.window);
    request.ticket.emplace(m_doc);
    if (m_idle.locked()) {
        if (!m_idle.waiting()) {
            // The lock's prompt is on screen already: it comes forward, the typing waits for it.
            m_pending = request;
            if (QWidget* prompt = QApplication::activeModalWidget()) {
                prompt->raise();
                prompt->activateWindow();
            }
            return;
        }
        if (!m_idle.resumePrompt() || !request.ticket->stillOpen())
            return;
        request.activateFirst = true;
    }
    proceed(request);
}

void AutoTypeCommand::proceed(Request request)
{
    const DocumentTicket ticket(m_doc);
    const std::vector<autotype::Match> matches = autotype::matchWindow(m_doc, request.title);
    if (matches.empty()) {
        notice(msg("AutoTypeAucune", {request.title}));
        return;
    }
    const TFeuille* entry = nullptr;
    if (matches.size() == 1) {
        const autotype::Match& only = matches.front();
        // A '*' pattern is a guess: the password is typed only after the user chose the entry.
        if (!only.onlyByWildcard ||
            !autotype::typesPassword(autotype::parseSequence(autotype::sequenceOf(*only.entry))))
            entry = only.entry;
    }
    if (!entry) {
        QList<TBoiteAutoType::Candidate> candidates;
        for (const autotype::Match& m : matches) {
            const TGroupe* group = m_doc.findGroup(m.entry->Group);
            candidates.append({m.entry->Name, m.entry->Login, group ? entrysearch::GroupPath(group) : QString()});
        }
        // The chooser follows the language of the moment.
        ApplyLangTable(m_chooser);
        const int chosen = m_chooser->choose(candidates, request.title);
        // The document may have gone while the chooser was shown (the idle lock closed it).
        if (chosen < 0 || !ticket.stillOpen() || m_doc.indexOfEntry(matches[size_t(chosen)].entry) < 0)
            return;
        entry = matches[size_t(chosen)].entry;
        request.activateFirst = true;
    }
    typeEntry(*entry, request);
}

bool AutoTypeCommand::typeEntry(const TFeuille& entry, const Request& request)
{
    const autotype::ParsedSequence sequence = autotype::parseSequence(autotype::sequenceOf(entry));
    if (!sequence.ok()) {
        QString text;
        switch (sequence.error) {
        case autotype::ParsedSequence::UnknownPlaceholder:
            text = msg("AutoTypeInconnu", {entry.Name, sequence.placeholder});
            break;
        case autotype::ParsedSequence::BadDelay:
            text = msg("AutoTypeDelai", {entry.Name, sequence.placeholder, QString::number(autotype::kMaxDelayMs)});
            break;
        case autotype::ParsedSequence::Unclosed:
            text = msg("AutoTypeNonFerme", {entry.Name, sequence.placeholder});
            break;
        default:
            text = msg("AutoTypeLong", {entry.Name, QString::number(autotype::kMaxSequenceLength)});
            break;
        }
        ShowMsg(text, MsgKind::Error, MsgOK, m_window);
        return false;
    }
    QString code;
    const auto wipeCode = qScopeGuard([&code] { secureWipe(code); });
    if (autotype::typesOneTimeCode(sequence)) {
        const std::optional<otp::Parameters> parameters = otp::FindInNotes(entry.Notes);
        if (!parameters) {
            ShowMsg(msg("AutoTypeCode", {entry.Name}), MsgKind::Error, MsgOK, m_window);
            return false;
        }
        code = otp::Totp(*parameters, QDateTime::currentSecsSinceEpoch());
    }
    autotype::TypingPlan plan;
    const autotype::PlanResult built = autotype::buildPlan(sequence, entry, code, plan);
    if (built.error != autotype::PlanResult::None) {
        ShowMsg(msg("AutoTypeCar", {fieldName(built.field), entry.Name}), MsgKind::Error, MsgOK, m_window);
        return false;
    }
    return m_typist->start(request.window, std::move(plan), request.activateFirst);
}

void AutoTypeCommand::ActionAutoTypeExecute()
{
    if (!m_platform) {
        ShowMsg(unavailableText(), MsgKind::Information, MsgOK, m_window);
        return;
    }
    if (m_typist->running())
        return;
    m_view->commitPendingEdits();
    const TFeuille* entry = m_view->selectedEntry();
    if (!entry)
        return;
    Request request;
    request.window = m_platform->lastForeignWindow();
    if (!request.window) {
        ShowMsg(msg("AutoTypeFenetre"), MsgKind::Information, MsgOK, m_window);
        return;
    }
    request.title = m_platform->windowTitle(request.window);
    request.activateFirst = true;
    // Out of the way first (to the tray when the settings say so); the typing waits until the
    // window it types into is active again.
    if (typeEntry(*entry, request))
        m_window->showMinimized();
}

void AutoTypeCommand::typingFinished(autotype::Typist::Outcome outcome)
{
    switch (outcome) {
    case autotype::Typist::Outcome::Typed:
        break;
    case autotype::Typist::Outcome::WindowChanged:
        emit statusText(msg("AutoTypeInterrompu"));
        break;
    case autotype::Typist::Outcome::TargetLost:
        notice(msg("AutoTypeRetour"));
        break;
    case autotype::Typist::Outcome::NoSpareKey:
    case autotype::Typist::Outcome::Failed:
        notice(msg("AutoTypeEchec"));
        break;
    }
}
