#include "NameEdit.h"

#include <algorithm>

NameEdit::NameEdit(QWidget *parent) : QLineEdit(parent)
{
    // textEdited fires for the user's changes only, after the text has changed.
    connect(this, &QLineEdit::textEdited, this, &NameEdit::keepWithinLimit);
    connect(this, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (m_eventDepth == 0)
            m_before = text;
    });
}

bool NameEdit::event(QEvent *event)
{
    // Every user edit arrives inside an event: note the text it starts from.
    if (m_eventDepth++ == 0)
        m_before = text();
    const bool handled = QLineEdit::event(event);
    --m_eventDepth;
    return handled;
}

// Typing adds nothing while the text is at or over the limit, a paste is cut
// to what fits, and deleting always works.
void NameEdit::keepWithinLimit(const QString &edited)
{
    const QString before = m_before;
    if (edited.size() <= m_limit || edited.size() <= before.size())
        return;
    // What the edit put in is what lies between the common start and end.
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(edited.size(), before.size());
    while (prefix < shorter && edited.at(prefix) == before.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix
           && edited.at(edited.size() - 1 - suffix) == before.at(before.size() - 1 - suffix))
        ++suffix;
    // Everything outside the inserted run was there before and stays.
    const qsizetype room = std::max<qsizetype>(0, m_limit - (prefix + suffix));
    const QString inserted = edited.mid(prefix, edited.size() - prefix - suffix).left(room);
    const QString result = edited.left(prefix) + inserted + edited.right(suffix);
    setText(result);
    setCursorPosition(int(prefix + inserted.size()));
}
