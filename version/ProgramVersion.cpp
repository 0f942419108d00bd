#include "ProgramVersion.h"

ProgramVersion programVersion()
{
    return {ORVANE_VERSION_MAJOR, ORVANE_VERSION_MINOR, ORVANE_VERSION_REVISION};
}

std::string versionText(const ProgramVersion &version)
{
    return std::to_string(version.major) + '.' + std::to_string(version.minor) + std::to_string(version.revision);
}
