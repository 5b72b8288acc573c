// Any bytes as the record in a part file's tag (a part may come from
// another machine, or from anyone): the reader must not crash or overflow;
// a record it takes holds together (its part among its parts, its frames
// inside the whole, a frame rate a capture can have), is said in one
// printable line, reads back the same from the text it writes, differs from
// itself in nothing and from a real part in one printable line (its words
// are the stranger's), and says what a file of its frames lacks (none of
// them, half of them) in one line.

#include "fuzzcheck.h"
#include "partfile.h"
#include "partrecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const std::optional<PartRecord> record = PartRecord::fromText(text);
    if (!record)
        return 0;

    const PartRecord &r = *record;
    if (r.parts < 1 || r.part < 1 || r.part > r.parts || r.count < 1 || r.first < r.wholeFirst
        || r.first + r.count > r.wholeFirst + r.wholeCount)
        fuzzFail("fuzz_partrecord: a record taken does not hold together", size);
    const int fps = r.shape.value(QStringLiteral("--fps")).toInt();
    if (fps < 1 || fps > PartRecord::mostFps)
        fuzzFail("fuzz_partrecord: a record taken has a frame rate no capture has", size);
    // The shape's values are the stranger's text: the record's own line
    // says only numbers.
    if (!isPrintableLine(r.describe()))
        fuzzFail("fuzz_partrecord: a record is not said in one printable line", size);

    const std::optional<PartRecord> again = PartRecord::fromText(r.toText());
    if (!again || again->part != r.part || again->parts != r.parts || again->first != r.first
        || again->count != r.count || again->wholeFirst != r.wholeFirst || again->wholeCount != r.wholeCount
        || again->shape != r.shape || again->device != r.device || again->renderer != r.renderer)
        fuzzFail("fuzz_partrecord: a record written reads back otherwise", size);
    if (!r.notPartOf(*again).isEmpty())
        fuzzFail("fuzz_partrecord: a record differs from itself", size);
    // Set beside a real part (of another capture, as likely as not), what
    // the join says of the difference is one printable line, words of the
    // stranger's record included.
    static const std::optional<PartRecord> real = PartRecord::fromText(QStringLiteral(
            R"({"count":3,"first":0,"part":1,"parts":2,"shape":{"--codec":"ffv1","--fps":"10",)"
            R"("--music":"d1af4db476dc08b9582f2defcf352163dc51374f","--shutter":"0","--size":"32x18",)"
            R"("--supersample":"1","stages":"e0add89c7663f4b5549fc80f1179dcd2ddca228a"},"wholeCount":7,"wholeFirst":0})"));
    if (!real)
        fuzzFail("fuzz_partrecord: a real part's record is refused", size);
    for (const QString &difference : {r.notPartOf(*real), real->notPartOf(r)})
        if (!difference.isEmpty() && !isPrintableLine(difference, 3 * PartRecord::longestText))
            fuzzFail("fuzz_partrecord: a difference from a real part is not one printable line", size);
    if (!isPrintableLine(QStringLiteral("x") + r.device) || !isPrintableLine(QStringLiteral("x") + r.renderer))
        fuzzFail("fuzz_partrecord: a record's device or renderer is no printable line", size);

    PartFile file;
    file.record = r;
    for (const qint64 frames : {qint64(0), r.count / 2, r.count}) {
        file.frames = frames;
        file.samples = -1;
        const QString lacks = file.missing();
        if (frames != r.count && !isPrintableLine(lacks))
            fuzzFail("fuzz_partrecord: a part short of frames is not said in one line", size);
    }
    return 0;
}
