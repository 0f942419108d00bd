#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>

// A failure of the image file or of an edit, with a sentence fit to show the
// user (it already carries the system's reason where there is one). Unless
// it says otherwise, the failure changed nothing in the file.
class RomError : public std::runtime_error {
public:
    enum class Left { Unchanged, MaybeChanged };

    explicit RomError(const QString &message, Left left = Left::Unchanged)
        : std::runtime_error(message.toStdString()), m_message(message), m_left(left) {}
    const QString &message() const { return m_message; }
    // True when the failed write may have left part of its bytes in the file.
    bool mayHaveChanged() const { return m_left == Left::MaybeChanged; }
    // The path of the file that failed, as the system spells it, where known.
    const QByteArray &file() const { return m_file; }
    void setFile(const QByteArray &nativePath) { m_file = nativePath; }

private:
    QString m_message;
    QByteArray m_file;
    Left m_left;
};
