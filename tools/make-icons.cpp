// Writes the desktop icons in the hicolor theme layout:
//   make-icons DIR NAME  ->  DIR/16x16/apps/NAME.png ... DIR/128x128/apps/NAME.png
// They come from the same painting as the window's icon, so the two never drift.
#include "ClassicLook.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        err << "usage: make-icons DIR NAME\n";
        return 1;
    }
    for (int size : {16, 32, 48, 128}) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args.at(1)).arg(size);
        const QString path = folder + u'/' + args.at(2) + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !editorIconImage(size).save(path, "PNG")) {
            err << "make-icons: cannot write " << path << "\n";
            return 2;
        }
    }
    return 0;
}
