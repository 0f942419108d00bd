#pragma once

#include <string>

// The program's version, from the build's project version.
struct ProgramVersion {
    int major;
    int minor;
    int revision;
};

ProgramVersion programVersion();

// Major, a full stop, then minor and revision with nothing between them:
// 0.58 for 0.5.8.
std::string versionText(const ProgramVersion &version = programVersion());
