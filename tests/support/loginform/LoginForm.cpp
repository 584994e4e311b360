// A login form for the auto-type tests: a window titled by its first argument with two fields,
// login and password. It reports on standard output, one line each, "ready WINDOW-ID" once it is
// shown, active and its login field has the keyboard; "login HEX" and "password HEX" (the field's
// UTF-8 text in hexadecimal) whenever a field changes; "submit" when Enter is pressed in the
// password field.

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

namespace {
void report(const char* what, const QString& text = QString())
{
    std::printf("%s %s\n", what, text.toUtf8().toHex().constData());
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(argc > 1 ? QString::fromUtf8(argv[1]) : QStringLiteral("Login form"));
    auto* login = new QLineEdit(&window);
    login->setObjectName(QStringLiteral("login"));
    auto* password = new QLineEdit(&window);
    password->setObjectName(QStringLiteral("password"));
    password->setEchoMode(QLineEdit::Password);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(login);
    layout->addWidget(password);
    QObject::connect(login, &QLineEdit::textChanged, [](const QString& t) { report("login", t); });
    QObject::connect(password, &QLineEdit::textChanged, [](const QString& t) { report("password", t); });
    QObject::connect(password, &QLineEdit::returnPressed, [] { report("submit"); });
    window.resize(320, 100);
    window.show();
    window.activateWindow();
    login->setFocus();
    // Ready once the window manager made it active and the login field has the keyboard.
    auto* ready = new QTimer(&window);
    QObject::connect(ready, &QTimer::timeout, [&] {
        if (window.isActiveWindow() && login->hasFocus()) {
            std::printf("ready %llu\n", static_cast<unsigned long long>(window.winId()));
            std::fflush(stdout);
            ready->stop();
        }
    });
    ready->start(10);
    return app.exec();
}
