#pragma once
// The drawing primitives the status view's layout needs. PlotOpenGL draws
// them with OpenGL; tests record them.

#include <cstdint>
#include <string>

namespace router {

class Plotter {
public:
    virtual ~Plotter() = default;

    // Resets the model-view matrix, clears colour and depth (to black) and
    // enables the depth test with less-or-equal.
    virtual void BeginFrame() = 0;
    virtual void SetProjection(int viewportX, int viewportY, int viewportWidth, int viewportHeight, int left,
                               int right, int bottom, int top, int nearZ, int farZ) = 0;
    // colour: 0x00BBGGRR.
    virtual void DrawLine(int x1, int y1, int z1, int x2, int y2, int z2, uint32_t colour, int width,
                          float opacity) = 0;
    // One byte per character; (x, y) is the first character's baseline origin.
    virtual void DrawText(const std::string& text, int x, int y, int z, uint32_t colour) = 0;
};

}  // namespace router
