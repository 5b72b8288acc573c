#ifndef NOTES_H
#define NOTES_H

#include <QObject>
#include <QString>
#include <QTimer>

// What the last key or action did, or why it was refused: one line that the
// heads-up shows for a moment.
class Notes : public QObject
{
    Q_OBJECT

public:
    // How long a note stays.
    static constexpr int shownMs = 2500;

    Notes();
    void show(const QString &note);
    QString current() const { return m_note; }

signals:
    // A note came or went.
    void changed();

private:
    QString m_note;
    QTimer m_timer;
};

#endif // NOTES_H
