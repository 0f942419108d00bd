// Starts the editor: one main window and the event loop. The program reads no
// command line, environment or settings of its own.
#include "Form1.h"
#include "ClassicLook.h"
#include "StandardStreams.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Before anything is opened, so that an image can never become
    // descriptor 2 and take the toolkit's warnings.
    openStandardStreams();
    QApplication app(argc, argv);
    ensureTahoma();
    Form1 window;
    window.show();
    return app.exec();
}
