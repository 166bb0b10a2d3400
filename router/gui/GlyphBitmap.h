#pragma once
// One glyph of the status view's bitmap font in the layout glBitmap takes:
// rows of bits, most significant bit first, from the bottom row up, each
// row padded to whole bytes.

#include <QFont>

#include <cstdint>
#include <vector>

namespace router {

struct GlyphBitmap {
    int width = 0;
    int height = 0;
    float originX = 0;   // from the bitmap's left edge to the pen position
    float originY = 0;   // from the bitmap's bottom row to the baseline
    float advance = 0;
    std::vector<uint8_t> bits;

    int BytesPerRow() const { return (width + 7) / 8; }
    bool IsSet(int x, int rowFromBottom) const;
};

// Draws the Latin-1 character `code` without antialiasing and thresholds it.
// Control codes get an empty bitmap and no advance.
GlyphBitmap RasteriseGlyph(const QFont& font, unsigned char code);

// The sans-serif face of the status view, 14 pixels from top to bottom.
QFont StatusFont();

}  // namespace router
