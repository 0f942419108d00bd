#pragma once

#include <QListWidget>

// A category's list of names. The user moves its selected row but never
// clears it: Ctrl with a click or the space bar, which deselects the row of a
// plain single-selection list, does nothing here, so a selected entry stays
// selected until another is chosen. A list that took the focus with no row
// selected selects its current row on the first Up or Down, rather than the
// row past the focus frame.
class EntryList : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event = nullptr) const override;
};
