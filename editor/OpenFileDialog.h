#pragma once

#include "StandIn.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QFileDialog;
class QWidget;

// The Open ROM file dialog. Its filter is kept in the classic
// "Description|pattern|Description|pattern" form; filterIndex counts from 1.
class OpenFileDialog : public QObject {
    Q_OBJECT
public:
    explicit OpenFileDialog(QObject *parent = nullptr);

    QString filter;
    int filterIndex = 1;

    // Shows the dialog and returns the chosen path, or an empty text on cancel.
    QString show(QWidget *parent) const;
    // Gives Qt's dialog this dialog's filters and settings.
    void configure(QFileDialog &dialog) const;

    // Qt name filters that keep the descriptions as they stand while "All Files"
    // matches names without a dot and the image patterns match any letter case.
    static QStringList qtNameFilters(const QString &filter);

    // Stands in for the user in tests, until the guard goes: given the
    // dialog, returns a path or "".
    using Chooser = std::function<QString(const OpenFileDialog &)>;
    static StandIn<Chooser> replaceChooserForTesting(Chooser standIn);

private:
    // Empty while the real dialog is in use.
    static Chooser &chooser();
};
