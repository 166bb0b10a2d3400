#pragma once
// Lays out the status view: the upstream connection panel at the top and
// one block of rows per downstream client below it, all measured from the
// top edge of a view whose origin is its lower-left corner.

#include "Plotter.h"
#include "StatusSource.h"

#include <cstdint>
#include <string>

namespace router {

class Canvas {
public:
    static constexpr uint32_t kWhite = 0x00FFFFFF;
    static constexpr int kRowHeight = 13;

    void Draw(Plotter& plot, StatusSource& status, int32_t width, int32_t height);
    void DrawServerConnectionPanel(Plotter& plot, StatusSource& status, int32_t width, int32_t height);
    void DrawClientConnectionsPanel(Plotter& plot, StatusSource& status, int32_t width);

    int32_t GetCursorY() const { return mCursorY; }

private:
    static void Line(Plotter& plot, int x1, int y1, int x2, int y2, int width = 1);
    static void Text(Plotter& plot, const std::string& text, int x, int y);
    static void Text(Plotter& plot, const std::wstring& label, const std::wstring& value, int x, int y);

    int32_t mCursorY = 0;
};

}  // namespace router
