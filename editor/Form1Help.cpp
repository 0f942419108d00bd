// The Help menu: the About window.
#include "Form1.h"

#include "About.h"

void Form1::mnuAbout_Click()
{
    if (m_loading)
        return;
    About::showModal(this);
}
