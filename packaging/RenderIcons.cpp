// Renders the program icon into the hicolor theme folders at build time, from the same drawing
// the window uses, so the installed icons never differ from the running program's.
//   tresorin-render-icons OUT_DIR SIZE...

#include "app/gui/window/Icons.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() < 2) {
        std::fputs("usage: tresorin-render-icons OUT_DIR SIZE...\n", stderr);
        return 2;
    }
    const QIcon icon = tresorinIcon(QStringLiteral("tresorin"));
    for (const QString& sizeText : args.mid(1)) {
        bool ok = false;
        const int size = sizeText.toInt(&ok);
        if (!ok || size <= 0) {
            std::fprintf(stderr, "tresorin-render-icons: bad size %s\n", qPrintable(sizeText));
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args.first()).arg(size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        icon.paint(&painter, QRect(0, 0, size, size));
        painter.end();
        if (!QDir().mkpath(folder) || !image.save(folder + QStringLiteral("/tresorin.png"), "PNG")) {
            std::fprintf(stderr, "tresorin-render-icons: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
