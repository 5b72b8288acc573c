// Any bytes as a beat text or label file that bmm pack --beats reads: the
// reader must not crash, and either gives beats or fails with one printable
// line that names the file (whatever the file holds: carriage returns,
// escape sequences, lines of any length). The beats it gives, written as
// beat text again, read back to the same list.

#include "beatstext.h"
#include "failure.h"
#include "fuzzcheck.h"
#include "fuzzfile.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const FuzzFolder folder;
    static const QString path = folder.filePath(QStringLiteral("beats.txt"));
    if (!folder.write(QStringLiteral("beats.txt"), data, size))
        fuzzFail("fuzz_beatstext: cannot write the input", size);

    QList<int> beats;
    try {
        beats = readBeatsText(path);
    } catch (const Failure &failure) {
        const QString line = QString::fromStdString(failure.what());
        if (!isPrintableLine(line) || !line.startsWith(path + QLatin1Char(':')))
            fuzzFail("fuzz_beatstext: a refusal is not one printable line naming the file", size);
        return 0;
    }

    const QByteArray again = beatsText(beats, QStringLiteral("the fuzzer")).toUtf8();
    if (!folder.write(QStringLiteral("beats.txt"), reinterpret_cast<const uint8_t *>(again.constData()),
                      size_t(again.size())))
        fuzzFail("fuzz_beatstext: cannot write the input", size);
    try {
        if (readBeatsText(path) != beats)
            fuzzFail("fuzz_beatstext: the beats written as text read back otherwise", size);
    } catch (const Failure &) {
        fuzzFail("fuzz_beatstext: the beats written as text are refused", size);
    }
    return 0;
}
