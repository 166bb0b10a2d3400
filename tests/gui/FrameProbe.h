#pragma once
// Reading a grabbed frame in the view's own coordinates (origin lower left).

#include <QImage>

#include <algorithm>

namespace gui_test {

class FrameProbe {
public:
    explicit FrameProbe(QImage frame) : mFrame(std::move(frame)) {}

    int Width() const { return mFrame.width(); }
    int Height() const { return mFrame.height(); }

    // y grows upwards from the bottom row, as in the view's projection.
    QRgb At(int x, int y) const { return mFrame.pixel(x, mFrame.height() - 1 - y); }
    bool IsWhite(int x, int y) const {
        const QRgb pixel = At(x, y);
        return qRed(pixel) > 200 && qGreen(pixel) > 200 && qBlue(pixel) > 200;
    }
    bool IsBlack(int x, int y) const {
        const QRgb pixel = At(x, y);
        return qRed(pixel) < 30 && qGreen(pixel) < 30 && qBlue(pixel) < 30;
    }

    // White rows in column x within `reach` rows of y. A line drawn at an
    // integer y lights the rows next to it, so a 1-pixel line gives 1 and a
    // 3-pixel line 3.
    int WhiteRowsNear(int x, int y, int reach = 3) const {
        int count = 0;
        for (int row = y - reach; row <= y + reach; ++row) {
            if (row >= 0 && row < Height() && IsWhite(x, row)) {
                ++count;
            }
        }
        return count;
    }

    // White pixels in the rectangle [x0, x1) x [y0, y1).
    int WhiteIn(int x0, int y0, int x1, int y1) const {
        int count = 0;
        for (int y = std::max(0, y0); y < std::min(y1, Height()); ++y) {
            for (int x = std::max(0, x0); x < std::min(x1, Width()); ++x) {
                count += IsWhite(x, y) ? 1 : 0;
            }
        }
        return count;
    }

    int NonBlack() const {
        int count = 0;
        for (int y = 0; y < Height(); ++y) {
            for (int x = 0; x < Width(); ++x) {
                count += IsBlack(x, y) ? 0 : 1;
            }
        }
        return count;
    }

private:
    QImage mFrame;
};

}  // namespace gui_test
