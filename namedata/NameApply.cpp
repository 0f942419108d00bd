// The writes of a checked list.
#include "NameList.h"

#include "Image.h"
#include "RomError.h"

namespace NameList {

void write(Image &rom, const Edit &edit)
{
    rom.writeField(NameTables::nameOffset(*edit.table, edit.index), edit.after);
}

Outcome apply(Image &rom, const Plan &plan, const std::function<bool()> &stop)
{
    if (!plan.problems.empty())
        throw RomError("The list has bad lines; nothing was written.");
    if (!plan.conflicts.empty())
        throw RomError("The list has conflicts; nothing was written.");
    Outcome outcome;
    for (const Edit &edit : plan.changes) {
        if (stop && stop())
            break;
        try {
            write(rom, edit);
        } catch (const RomError &e) {
            outcome.failure = e;
            outcome.partly = e.mayHaveChanged();
            break;
        }
        ++outcome.written;
    }
    if (outcome.written > 0 || outcome.partly) {
        try {
            rom.sync();
        } catch (const RomError &e) {
            outcome.syncFailure = e;
        }
    }
    return outcome;
}

} // namespace NameList
