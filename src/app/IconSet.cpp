// Build-time tool: writes the program's icon as PNG files, one per size, for the desktop's
// icon theme. The drawing itself lives with the window icon, so both always agree.
//   foldex_icons OUTDIR SIZE...   writes OUTDIR/SIZExSIZE/apps/foldex.png
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "dialogs/AppIcon.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: foldex_icons OUTDIR SIZE...\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        bool ok = false;
        const int size = QByteArray(argv[i]).toInt(&ok);
        if (!ok || size <= 0 || size > 1024) {
            std::fprintf(stderr, "foldex_icons: bad size %s\n", argv[i]);
            return 2;
        }
        const QString folder = out + QStringLiteral("/%1x%1/apps").arg(size);
        const QString file = folder + QStringLiteral("/foldex.png");
        if (!QDir().mkpath(folder) || !dialogs::PaintAppIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "foldex_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
