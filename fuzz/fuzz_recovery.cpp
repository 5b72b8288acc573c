// Any bytes as the studio's file of unsaved beat edits beside a music file
// (which anyone who can write that folder may have left there): reading it
// must not crash and gives beats or one printable line; the beats it gives
// are taken back as edits, and every edit the maker can make on them
// (select, nudge by 1 and 10 either way, move, delete, undo, redo) keeps
// the list's promise: no two beats share a value, and undoing everything
// gives the music file's list again. Kept again, they read back the same.

#include "beatedits.h"
#include "beatrecovery.h"
#include "fuzzcheck.h"
#include "fuzzfile.h"

#include <algorithm>
#include <set>

namespace {

bool distinct(const QList<int> &beats)
{
    return std::set<int>(beats.cbegin(), beats.cend()).size() == size_t(beats.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const FuzzFolder folder;
    static const BeatRecovery recovery(folder.filePath(QStringLiteral("music.bmm")));
    if (!folder.write(QStringLiteral("music.bmm.unsaved-beats"), data, size))
        fuzzFail("fuzz_recovery: cannot write the input", size);

    QString problem;
    const std::optional<QList<int>> kept = recovery.read(&problem);
    if (!kept) {
        if (!isPrintableLine(problem))
            fuzzFail("fuzz_recovery: an unreadable file is not said in one printable line", size);
        return 0;
    }

    const QList<int> file{500, 1000, 1500};
    BeatEdits edits;
    edits.reset(file);
    edits.replaceAll(*kept, QStringLiteral("unsaved beats taken back"));
    if (edits.beats() != *kept)
        fuzzFail("fuzz_recovery: the beats taken back are not the ones kept", size);
    // A few edits on the beats the file gave, the input's first bytes
    // choosing, two a time, the beat each acts on and the edit.
    const size_t pairs = std::min<size_t>(size / 2, 16);
    for (size_t i = 0; i < pairs && !edits.beats().isEmpty(); ++i) {
        const bool wasDistinct = distinct(edits.beats());
        edits.select(int(data[2 * i]) % edits.beats().size());
        switch (data[2 * i + 1] % 6) {
        case 0: edits.nudgeSelected(1); break;
        case 1: edits.nudgeSelected(-1); break;
        case 2: edits.nudgeSelected(10); break;
        case 3: edits.nudgeSelected(-10); break;
        case 4: edits.moveSelected(int(data[2 * i + 1]) * 1000); break;
        default: edits.removeSelected(); break;
        }
        if (wasDistinct && !distinct(edits.beats()))
            fuzzFail("fuzz_recovery: an edit made two beats share a value", size);
    }
    while (edits.undo()) {
    }
    if (edits.beats() != file)
        fuzzFail("fuzz_recovery: undoing every edit does not give the file's list", size);
    while (edits.redo()) {
    }

    const QString why = recovery.keep(edits.beats());
    if (!why.isEmpty())
        fuzzFail("fuzz_recovery: the edits cannot be kept", size);
    const std::optional<QList<int>> back = recovery.read(&problem);
    if (!back || *back != edits.beats())
        fuzzFail("fuzz_recovery: the edits kept read back otherwise", size);
    return 0;
}
