#pragma once

#include <stdexcept>
#include <string>

// A failure of the image file or of an edit, with a sentence fit to show the
// user (it already carries the system's reason where there is one). Unless
// it says otherwise, the failure changed nothing in the file.
class RomError : public std::runtime_error {
public:
    enum class Left { Unchanged, MaybeChanged };

    explicit RomError(const std::string &message, Left left = Left::Unchanged)
        : std::runtime_error(message), m_left(left) {}
    // UTF-8.
    std::string message() const { return what(); }
    // True when the failed write may have left part of its bytes in the file.
    bool mayHaveChanged() const { return m_left == Left::MaybeChanged; }
    // The path of the file that failed, as the system spells it, where known.
    const std::string &file() const { return m_file; }
    void setFile(const std::string &nativePath) { m_file = nativePath; }

private:
    std::string m_file;
    Left m_left;
};
