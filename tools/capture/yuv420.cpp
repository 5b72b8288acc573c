#include "yuv420.h"

#include <QtGlobal>


namespace {

// The conversion in whole numbers: coefficients scaled by 2^16, applied to
// 8-bit values (Y) or to sums of 8 weighted ones (U and V).
constexpr int scaleBits = 16;
constexpr int chromaWeightBits = 3;

constexpr int fixed(double coefficient)
{
    return int(coefficient * (1 << scaleBits) + (coefficient < 0 ? -0.5 : 0.5));
}

// BT.709: luma from the weights of red, green and blue; the differences
// B - Y and R - Y scaled to -0.5..0.5; limited range: 16..235 for luma and
// 16..240 around 128 for the differences.
constexpr double kr = 0.2126, kg = 0.7152, kb = 0.0722;
constexpr double lumaRange = 219.0 / 255.0;
constexpr double blueScale = 224.0 / 255.0 / (2.0 * (1.0 - kb));
constexpr double redScale = 224.0 / 255.0 / (2.0 * (1.0 - kr));

constexpr int yr = fixed(lumaRange * kr), yg = fixed(lumaRange * kg), yb = fixed(lumaRange * kb);
constexpr int ur = fixed(-blueScale * kr), ug = fixed(-blueScale * kg), ub = fixed(blueScale * (1.0 - kb));
constexpr int vr = fixed(redScale * (1.0 - kr)), vg = fixed(-redScale * kg), vb = fixed(-redScale * kb);

// Offsets with the half that rounds to nearest folded in.
constexpr int lumaOffset = (16 << scaleBits) + (1 << (scaleBits - 1));
constexpr int chromaShift = scaleBits + chromaWeightBits;
constexpr int chromaOffset = (128 << chromaShift) + (1 << (chromaShift - 1));

} // namespace

QByteArray Yuv420::fromRgba(const QByteArray &rgba, const QSize &size)
{
    const int width = size.width();
    const int height = size.height();
    Q_ASSERT(width % 2 == 0 && height % 2 == 0 && rgba.size() == width * height * 4);
    QByteArray yuv(bytes(size), Qt::Uninitialized);
    auto *luma = reinterpret_cast<uchar *>(yuv.data());
    uchar *blue = luma + width * height;
    uchar *red = blue + width * height / 4;
    const auto *pixels = reinterpret_cast<const uchar *>(rgba.constData());

    const qsizetype rowBytes = qsizetype(width) * 4;
    for (int y = 0; y < height; y += 2) {
        // Row y from the top is row height - 1 - y of the frame as given.
        const uchar *top = pixels + (height - 1 - y) * rowBytes;
        const uchar *bottom = top - rowBytes;
        for (const uchar *row : {top, bottom}) {
            for (int x = 0; x < width; ++x, row += 4)
                *luma++ = uchar((yr * row[0] + yg * row[1] + yb * row[2] + lumaOffset) >> scaleBits);
        }
        for (int x = 0; x < width; x += 2) {
            // Columns x - 1 (x itself at the left edge), x and x + 1, both rows.
            const int left = 4 * (x > 0 ? x - 1 : x), middle = 4 * x, right = 4 * (x + 1);
            int sums[3];
            for (int c = 0; c < 3; ++c)
                sums[c] = top[left + c] + bottom[left + c] + 2 * (top[middle + c] + bottom[middle + c])
                        + top[right + c] + bottom[right + c];
            *blue++ = uchar((ur * sums[0] + ug * sums[1] + ub * sums[2] + chromaOffset) >> chromaShift);
            *red++ = uchar((vr * sums[0] + vg * sums[1] + vb * sums[2] + chromaOffset) >> chromaShift);
        }
    }
    return yuv;
}
