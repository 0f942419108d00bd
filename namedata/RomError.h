#pragma once

#include <QString>

#include <stdexcept>

// A failure of the image file or of an edit, with a sentence fit to show the
// user (it already carries the system's reason where there is one).
class RomError : public std::runtime_error {
public:
    explicit RomError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};
