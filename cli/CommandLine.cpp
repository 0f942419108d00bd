#include "CommandLine.h"

#include "SaveFile.h"
#include "Utf8.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace CommandLine {

bool Arguments::has(std::string_view option) const
{
    return std::find(options.begin(), options.end(), option) != options.end();
}

std::optional<std::string> Arguments::value(std::string_view option) const
{
    const auto found = values.find(option);
    return found == values.end() ? std::nullopt : std::optional(found->second);
}

std::string split(int argc, char **argv, Arguments &arguments)
{
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word(argv[i]);
        if (!optionsEnded && word == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && word.starts_with('-') && word.size() > 1) {
            const std::string name = word.substr(0, word.find('='));
            if (std::find(std::begin(ValueOptions), std::end(ValueOptions), name) != std::end(ValueOptions)) {
                if (arguments.values.contains(name))
                    return fmt::format("{} is given twice.", name);
                if (name.size() < word.size())
                    arguments.values[name] = word.substr(name.size() + 1);
                else if (i + 1 < argc)
                    arguments.values[name] = argv[++i];
                else
                    return fmt::format("{} needs {} after it.", name, name == "--only" ? "categories" : "a FILE");
                arguments.options.push_back(name);
            } else if (word == "-h")
                arguments.options.emplace_back("--help");
            else if (word == "-v")
                arguments.options.emplace_back("--version");
            else if (word.starts_with("--") && word.find('=') == std::string::npos)
                arguments.options.push_back(word);
            else
                return fmt::format("unknown option \"{}\".", shown(word));
        } else if (!arguments.hasCommand) {
            arguments.hasCommand = true;
            arguments.command = word;
        } else {
            arguments.operands.push_back(word);
        }
    }
    return {};
}

std::string usageProblem(const Arguments &arguments, const std::vector<Command> &commands)
{
    if (!arguments.hasCommand)
        return "no command given.";
    const auto command = std::find_if(commands.begin(), commands.end(),
                                      [&](const Command &known) { return arguments.command == known.name; });
    if (command == commands.end())
        return fmt::format("unknown command \"{}\".", shown(arguments.command));
    const auto allows = [](const Command &c, const std::string &option) {
        return std::any_of(c.options.begin(), c.options.end(), [&](const char *o) { return option == o; });
    };
    for (const std::string &option : arguments.options) {
        if (allows(*command, option))
            continue;
        const bool elsewhere = std::any_of(commands.begin(), commands.end(),
                                           [&](const Command &other) { return allows(other, option); });
        return elsewhere ? fmt::format("{} does not go with {}.", shown(option), command->name)
                         : fmt::format("unknown option \"{}\".", shown(option));
    }
    if (arguments.operands.size() != command->operands)
        return fmt::format("{} takes {} argument(s), not {}.", command->name, command->operands,
                           arguments.operands.size());
    return {};
}

std::string shown(std::string_view text)
{
    return Utf8::shown(text);
}

std::string systemReason(int error)
{
    return std::strerror(error);
}

namespace {

unsigned closedStreams = 0;
bool lostReport = false;
bool written = false;

} // namespace

void report(std::string_view message)
{
    if (writeAll(STDERR_FILENO, "orvane-names: " + std::string(message) + '\n') || (closedStreams & 4))
        lostReport = true;
}

void setClosedStreams(unsigned closed)
{
    closedStreams = closed;
}

bool inputClosed()
{
    return closedStreams & 1;
}

bool outputClosed()
{
    return closedStreams & 2;
}

bool reportsLost()
{
    return lostReport;
}

void noteWritten()
{
    written = true;
}

bool wroteAny()
{
    return written;
}

int finalStatus(int status)
{
    if (written && (status == Done || status == Refused) && (lostReport || status == Refused))
        return PartWay;
    if (lostReport && status == Done)
        return Refused;
    return status;
}

} // namespace CommandLine
