#pragma once

#include <QByteArray>

// Takes the C library's open() for the whole test program, to play another
// program that swaps a file in at a path while it is being opened. Armed, the
// first opening of any file for reading or writing (a bare O_PATH handle
// opens nothing and does not count) first renames `replacement` over `path`.
// With withoutProc, opening through /proc/self/fd fails as where /proc is
// missing.
namespace OpenSwap {

void arm(const QByteArray &path, const QByteArray &replacement, bool withoutProc);
void disarm();

} // namespace OpenSwap
