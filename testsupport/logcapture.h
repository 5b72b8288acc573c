#ifndef LOGCAPTURE_H
#define LOGCAPTURE_H

#include <QList>
#include <QString>
#include <QtGlobal>

// Collects every message of the application's debug log while it lives.
class LogCapture
{
public:
    struct Line
    {
        QtMsgType type;
        QString function;
        QString category;
        QString file;
        QString text;
    };

    LogCapture() { s_current = this; m_previous = qInstallMessageHandler(&LogCapture::handle); }
    ~LogCapture() { qInstallMessageHandler(m_previous); s_current = nullptr; }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    const QList<Line> &lines() const { return m_lines; }
    void clear() { m_lines.clear(); }

    // The texts of the debug lines the program itself wrote (the default
    // category: not Qt's own).
    QStringList debugLines() const
    {
        QStringList texts;
        for (const Line &line : m_lines)
            if (line.type == QtDebugMsg && line.category == QLatin1String("default"))
                texts << line.text;
        return texts;
    }

    QStringList warnings() const
    {
        QStringList texts;
        for (const Line &line : m_lines)
            if (line.type == QtWarningMsg || line.type == QtCriticalMsg)
                texts << line.text;
        return texts;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (s_current)
            s_current->m_lines.append({type, QString::fromUtf8(context.function), QString::fromUtf8(context.category),
                                       QString::fromUtf8(context.file), text});
    }

    inline static LogCapture *s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    QList<Line> m_lines;
};

#endif // LOGCAPTURE_H
