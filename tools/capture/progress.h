#ifndef PROGRESS_H
#define PROGRESS_H

#include <QElapsedTimer>
#include <QtGlobal>

// One line on standard error, rewritten as frames are done: how many of all,
// frames per second so far, the time left at that pace and the output's size
// so far.
class Progress
{
public:
    explicit Progress(qint64 total);
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    void frameDone(qint64 outputBytes);

private:
    void print();

    qint64 m_total;
    qint64 m_done = 0;
    qint64 m_outputBytes = 0;
    QElapsedTimer m_clock;
    qint64 m_printedAt = -1;
    int m_width = 0;
};

#endif // PROGRESS_H
