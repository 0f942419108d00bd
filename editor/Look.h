#pragma once

#include <QFont>
#include <QIcon>
#include <QImage>

// Registers the metric-compatible Tahoma that Debian's fonts-wine ships when
// the system has no Tahoma of its own; without it a wider substitute clips
// the captions of the fixed layout.
void ensureTahoma();

// The main window's 16 x 16 icon, painted here rather than shipped as a file.
QIcon editorIcon();

// The same picture at any size: the installed desktop icons are made from it,
// so the menu entry shows what the window shows.
QImage editorIconImage(int size);
