// The Help menu: the About window.
#include "Form1.h"

#include "About.h"

void Form1::mnuAbout_Click()
{
    // Also during a load: the load waits in the window's own loop, and goes
    // on once it is closed.
    About::showModal(this);
}
