#include "ProgramVersion.h"

ProgramVersion programVersion()
{
    return {ORVANE_VERSION_MAJOR, ORVANE_VERSION_MINOR, ORVANE_VERSION_REVISION};
}

QString versionText(const ProgramVersion &version)
{
    return QString::number(version.major) + u'.' + QString::number(version.minor)
         + QString::number(version.revision);
}
