// Writes a headered test image with known names: make-demo-image PATH
#include "DemoImage.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        err << "usage: make-demo-image PATH\n";
        return 1;
    }
    QString reason;
    if (!DemoImage::write(args.at(1), &reason)) {
        err << "make-demo-image: cannot write " << args.at(1) << ": " << reason << "\n";
        return 2;
    }
    return 0;
}
