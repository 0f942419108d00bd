#pragma once

// Makes sure descriptors 0, 1 and 2 are open, onto /dev/null where they were
// closed, before the program opens anything else. Otherwise the next file to
// be opened (an image) takes one of those numbers, and every message meant
// for standard error, the program's own or the toolkit's, is written into it.
// Call it first thing in main(). Returns which were closed: bit n for
// descriptor n, so the program can tell that what it writes there goes nowhere.
unsigned openStandardStreams();
