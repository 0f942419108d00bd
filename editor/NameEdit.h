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

protected:
    bool event(QEvent *event) override;

private:
    void keepWithinLimit(const QString &edited);

    int m_limit = 16;
    // The text as it stood before the user's current key, drop or menu command.
    QString m_before;
    int m_eventDepth = 0;
};
