#include "screenshot.h"
#include "pendingoutput.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QString prefix = QStringLiteral("studio-");
const QString suffix = QStringLiteral(".png");

// Another program may take names while we look; give up only after this many.
constexpr int attempts = 100;

} // namespace

Screenshot::Screenshot(const QString &folder)
    : m_folder(folder)
{
}

QString Screenshot::fileName(int number)
{
    return prefix + QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0')) + suffix;
}

int Screenshot::nextNumber() const
{
    static const QRegularExpression numbered(QStringLiteral("^%1(\\d+)%2$")
                                             .arg(QRegularExpression::escape(prefix), QRegularExpression::escape(suffix)));
    int highest = 0;
    const QStringList names = QDir(m_folder).entryList({prefix + QLatin1Char('*') + suffix}, QDir::Files | QDir::Dirs);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = numbered.match(name);
        if (match.hasMatch())
            highest = qMax(highest, match.captured(1).toInt());
    }
    return highest + 1;
}

QString Screenshot::save(const QImage &image)
{
    QImage opaque = image.convertToFormat(QImage::Format_RGBA8888);
    opaque.reinterpretAsFormat(QImage::Format_RGBX8888);
    const QImage rgb = opaque.convertToFormat(QImage::Format_RGB888);

    int number = nextNumber();
    for (int attempt = 0; attempt < attempts; ++attempt, ++number) {
        const QString target = QDir(m_folder).filePath(fileName(number));
        PendingOutput output(target);
        if (!output.create()) {
            m_error = output.error();
            return {};
        }
        if (!rgb.save(output.path(), "PNG")) {
            m_error = QStringLiteral("%1: cannot write the PNG").arg(target);
            return {};
        }
        if (output.commitAsNew())
            return target;
        if (!QFileInfo::exists(target)) {
            m_error = output.error();
            return {};
        }
    }
    m_error = QStringLiteral("%1: no free studio-NNNN.png name after %2 tries").arg(m_folder).arg(attempts);
    return {};
}
