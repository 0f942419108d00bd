#include "EntryList.h"

QItemSelectionModel::SelectionFlags EntryList::selectionCommand(const QModelIndex &index,
                                                                const QEvent *event) const
{
    const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    // Selecting a row replaces the selection; a command that would only take
    // the selected row away is not carried out.
    if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        return QItemSelectionModel::NoUpdate;
    return command;
}
