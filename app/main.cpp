// Starts the editor: one main window and the event loop. The program reads no
// command line, environment or settings of its own.
#include "Form1.h"
#include "Look.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ensureTahoma();
    Form1 window;
    window.show();
    return app.exec();
}
