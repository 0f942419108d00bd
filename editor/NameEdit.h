#pragma once

#include <QLineEdit>

// A line edit whose maximum length limits only what the user types. Text the
// program puts in is shown whole even when longer (a decoded name holding a
// three-character entry), which QLineEdit::setMaxLength would cut.
class NameEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit NameEdit(QWidget *parent = nullptr);

    int nameLimit() const { return m_limit; }
    // Never cuts the text already there.
    void setNameLimit(int limit) { m_limit = limit; }

private:
    void keepWithinLimit(const QString &edited);

    int m_limit = 16;
    QString m_lastText;
};
