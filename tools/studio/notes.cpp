#include "notes.h"

Notes::Notes()
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_note.clear();
        emit changed();
    });
}

void Notes::show(const QString &note)
{
    m_note = note;
    m_timer.start(shownMs);
    emit changed();
}
