#ifndef HEADSUP_H
#define HEADSUP_H

#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>

class QFontMetrics;
class QPainter;

// The studio's text over the picture: a warning that waits for an answer
// first, whole, wrapped onto as many lines as the width needs; the heads-up
// line under it, and the compiler's messages under that, each in a dark
// translucent box so that it reads on any picture.
class HeadsUp
{
public:
    struct Status
    {
        double showTime = 0.0;
        double frameMs = 0.0; // 0 when no frame has been timed yet
        double scale = 1.0;
        float beat = 0.0f;
        bool held = false;
        std::optional<std::pair<double, double>> loop;
        bool building = false;
        int audioOffsetMs = 0;
        bool unsaved = false; // beat edits not saved into the music file
        QString stageInError; // "vertex", "fragment", "link" or empty
        QString note;         // the last thing a key did, for a moment
        QString question;     // a warning that waits for an answer
    };

    HeadsUp();

    static QString line(const Status &status);

    bool isOn() const { return m_on; }
    void toggle() { m_on = !m_on; }

    // Paints over the whole of area (device-independent pixels). Messages
    // that do not fit end in a line that says how many more there are.
    void paint(QPainter &painter, const QRect &area, const Status &status, const QStringList &messages) const;

    // Where the messages' box went at the last paint; empty when none.
    QRect messagesBox() const { return m_messagesBox; }
    // The warning's box and its lines at the last paint; empty when none.
    QRect questionBox() const { return m_questionBox; }
    QStringList questionLines() const { return m_questionLines; }
    // The text's width in the font the heads-up paints with.
    int textWidth(const QString &text) const;

    // Text broken at spaces into lines no wider than widest pixels (a word
    // wider than that alone is broken where it must be).
    static QStringList wrapped(const QString &text, const QFontMetrics &metrics, int widest);

private:
    bool m_on = true;
    QFont m_font;
    mutable QRect m_messagesBox;
    mutable QRect m_questionBox;
    mutable QStringList m_questionLines;
};

#endif // HEADSUP_H
