#include "OpenFileDialog.h"

#include <QFileDialog>

namespace {

// "*.smc" becomes "*.[sS][mM][cC]"; "*.*" becomes "*".
QString anyCasePattern(const QString &pattern)
{
    if (pattern == QLatin1String("*.*"))
        return QStringLiteral("*");
    QString result;
    for (const QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            result += u'[' + c.toLower() + c.toUpper() + u']';
        else
            result += c;
    }
    return result;
}

} // namespace

OpenFileDialog::OpenFileDialog(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("dlg"));
}

QStringList OpenFileDialog::qtNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts.at(i) + QStringLiteral(" (") + anyCasePattern(parts.at(i + 1)) + u')';
    return filters;
}

OpenFileDialog::Chooser &OpenFileDialog::chooser()
{
    static Chooser standIn;
    return standIn;
}

StandIn<OpenFileDialog::Chooser> OpenFileDialog::replaceChooserForTesting(Chooser standIn)
{
    return {chooser(), std::move(standIn)};
}

void OpenFileDialog::configure(QFileDialog &dialog) const
{
    dialog.setObjectName(QStringLiteral("OpenROMDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Qt's own dialog, so the filters behave the same on every desktop; the
    // pattern group Qt reads is hidden and the descriptions show as written.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    const QStringList filters = qtNameFilters(filter);
    dialog.setNameFilters(filters);
    if (filterIndex >= 1 && filterIndex <= filters.size())
        dialog.selectNameFilter(filters.at(filterIndex - 1));
}

QString OpenFileDialog::show(QWidget *parent) const
{
    if (chooser())
        return chooser()(*this);
    QFileDialog dialog(parent);
    configure(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
