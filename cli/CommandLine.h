#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What orvane-names was asked to do, its exit statuses and its messages.
// Messages are UTF-8; a path or a list's text in one is shown by shown().
namespace CommandLine {

// Scripts rely on these.
enum Exit {
    Done = 0,
    Usage = 1,
    Refused = 2,   // refused, and nothing was written
    Mismatch = 3,  // a check found a mismatch
    PartWay = 4,   // stopped part-way; what went in is synced and named
};

// The words of the command line exactly as given: a path stays the bytes it
// was, whatever they are.
struct Arguments {
    bool hasCommand = false;
    std::string command;
    std::vector<std::string> options;   // "--json" and the like, in the order given
    std::vector<std::string> operands;  // after the command, options taken out
    std::map<std::string, std::string, std::less<>> values;  // of the options that take one
    bool has(std::string_view option) const;
    // The value given to an option that takes one, if it was given.
    std::optional<std::string> value(std::string_view option) const;
};

// The options that take a value, as the next word or after "=": the
// option itself is listed in options too.
inline constexpr std::string_view ValueOptions[] = {"--table", "--only", "--changed-from"};

// Splits argv; "--" ends the options. Returns an empty string or the usage
// problem. A lone "-" is an operand.
std::string split(int argc, char **argv, Arguments &arguments);

// A command's operands and options, for checking a command line.
struct Command {
    const char *name;
    std::size_t operands;
    std::vector<const char *> options;
};

// The usage problem of the arguments against the known commands, or "".
std::string usageProblem(const Arguments &arguments, const std::vector<Command> &commands);

// A path, or text from a list or the command line, as messages show it: its
// text where the bytes are UTF-8, each other byte as \xHH, and the
// backslash and every character that acts on a terminal or on the order of
// the text (controls, C1 controls, bidirectional overrides and isolates)
// escaped too, each of its bytes as \xHH. So the name in a message is
// always the file that was opened, and no list can set a terminal's title.
std::string shown(std::string_view text);

// The system's sentence for an errno value.
std::string systemReason(int error);

// "orvane-names: " and the message, on standard error. A message that cannot
// be delivered (a full disk, a closed standard error) is counted as lost.
void report(std::string_view message);

// What the program could not deliver and what it changed, so that its exit
// status can say so: a lost report is never exit 0, and once a byte went
// into a file the exit is never "refused".
void setClosedStreams(unsigned closed);
// Whether the program started with standard input (or output) closed: it
// reads as empty (or takes anything) then, /dev/null standing in for it.
bool inputClosed();
bool outputClosed();
bool reportsLost();
void noteWritten();
bool wroteAny();
// The status to exit with, given what the command returned.
int finalStatus(int status);

} // namespace CommandLine
