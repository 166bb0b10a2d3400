#include "GlyphBitmap.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

namespace router {

namespace {

constexpr int kPadding = 2;

bool IsControlCode(unsigned char code) {
    return code < 0x20 || (code >= 0x7F && code < 0xA0);
}

}  // namespace

bool GlyphBitmap::IsSet(int x, int rowFromBottom) const {
    if (x < 0 || x >= width || rowFromBottom < 0 || rowFromBottom >= height) {
        return false;
    }
    const uint8_t byte = bits[static_cast<size_t>(rowFromBottom * BytesPerRow() + x / 8)];
    return (byte & (0x80 >> (x % 8))) != 0;
}

// Fourteen pixels is the height of the character cell (ascent plus
// descent), as with the bitmap fonts of other window systems, not the em
// size: the rows of the status view are 13 pixels apart.
QFont StatusFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif, QFont::NoAntialias);
    font.setWeight(QFont::Normal);
    for (int size = 14; size > 6; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).height() <= 14) {
            break;
        }
    }
    return font;
}

GlyphBitmap RasteriseGlyph(const QFont& font, unsigned char code) {
    GlyphBitmap glyph;
    if (IsControlCode(code)) {
        return glyph;
    }
    const QFontMetrics metrics(font);
    const QChar character = QChar::fromLatin1(static_cast<char>(code));
    const int advance = metrics.horizontalAdvance(character);
    glyph.advance = static_cast<float>(advance);
    glyph.width = advance + 2 * kPadding;
    glyph.height = metrics.ascent() + metrics.descent();
    glyph.originX = kPadding;
    glyph.originY = static_cast<float>(metrics.descent());
    if (glyph.width <= 0 || glyph.height <= 0) {
        glyph.width = glyph.height = 0;
        return glyph;
    }

    QImage image(glyph.width, glyph.height, QImage::Format_Grayscale8);
    image.fill(0);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(kPadding, metrics.ascent(), QString(character));
    }

    glyph.bits.assign(static_cast<size_t>(glyph.BytesPerRow() * glyph.height), 0);
    for (int row = 0; row < glyph.height; ++row) {
        const uchar* line = image.constScanLine(glyph.height - 1 - row);
        uint8_t* out = glyph.bits.data() + row * glyph.BytesPerRow();
        for (int x = 0; x < glyph.width; ++x) {
            if (line[x] >= 128) {
                out[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    return glyph;
}

}  // namespace router
