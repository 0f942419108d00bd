#pragma once

#include <QListWidget>

// A category's list of names. The user moves its selected row but never
// clears it: Ctrl with a click or the space bar, which deselects the row of a
// plain single-selection list, does nothing here, so a selected entry stays
// selected until another is chosen.
class EntryList : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event = nullptr) const override;
};
