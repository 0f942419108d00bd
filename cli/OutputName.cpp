// The checks of an output's name that every command writing a file makes
// before anything is written.
#include "SaveFile.h"

#include "CommandLine.h"
#include "RomFile.h"

#include <fmt/format.h>

std::string sameFileRefusal(const std::string &output, std::initializer_list<OpenInput> inputs)
{
    for (const OpenInput &input : inputs)
        if (input.file->isFileAt(output))
            return fmt::format("it is the same file as {}.", CommandLine::shown(input.path));
    return {};
}

std::string takenNameRefusal(const std::string &output, bool replace)
{
    if (replace || FileAccess::disk().statusAt(output, false).failure)
        return {};
    return "the file exists (--force replaces it).";
}
