#include "EntryList.h"

#include <QKeyEvent>

#include <algorithm>

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

void EntryList::keyPressEvent(QKeyEvent *event)
{
    const bool upOrDown = event->key() == Qt::Key_Down || event->key() == Qt::Key_Up;
    if (upOrDown && event->modifiers() == Qt::NoModifier && selectedItems().isEmpty() && count() > 0) {
        setCurrentRow(std::max(currentRow(), 0), QItemSelectionModel::ClearAndSelect);
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}
