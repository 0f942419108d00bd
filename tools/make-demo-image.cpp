// Writes a headered test image with known names: make-demo-image PATH
#include "DemoImage.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

const char usage[] =
    "Usage: make-demo-image [--] PATH\n"
    "Writes a 3 MiB image with a copier header and invented names to PATH,\n"
    "replacing any file there, for trying the editor and orvane-names out.\n";

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && (args.first() == u"--help" || args.first() == u"-h")) {
        out << usage;
        out.flush();
        return out.status() == QTextStream::Ok ? 0 : 1;
    }
    // A path that starts with "-" comes after "--"; any other word that
    // starts so is an option this program does not have.
    const bool separated = !args.isEmpty() && args.first() == u"--";
    if (separated)
        args.removeFirst();
    if (args.size() != 1 || (!separated && args.first().startsWith(u'-'))) {
        err << "make-demo-image: "
            << (args.size() == 1 ? QStringLiteral("unknown option ") + args.first() : QStringLiteral("one PATH, please"))
            << "\n" << usage;
        return 1;
    }
    QString reason;
    if (!DemoImage::write(args.first(), &reason)) {
        err << "make-demo-image: cannot write " << args.first() << ": " << reason << "\n";
        return 2;
    }
    return 0;
}
