#pragma once
// The router's drawing object: fixed-function OpenGL on the status view's
// context, with a bitmap font of one display list per single-byte code.
// The context and the font lists live as long as the context itself.

#include "Plotter.h"

#include <cstdint>
#include <functional>
#include <string>

class QOpenGLContext;

namespace router {

class PlotOpenGL : public Plotter {
public:
    using ErrorSink = std::function<void(const std::string& text)>;

    // By default errors are shown in a modal message box.
    explicit PlotOpenGL(ErrorSink errorSink = {});

    // context: the view's context, current on the calling thread. Always 0;
    // a failing step shows its message and the next step still runs.
    int Initialize(QOpenGLContext* context);

    void BeginFrame() override;
    void SetProjection(int viewportX, int viewportY, int viewportWidth, int viewportHeight, int left, int right,
                       int bottom, int top, int nearZ, int farZ) override;
    void DrawLine(int x1, int y1, int z1, int x2, int y2, int z2, uint32_t colour, int width,
                  float opacity) override;
    void DrawText(const std::string& text, int x, int y, int z, uint32_t colour) override;

    void ShowError(const std::string& text);
    void ShowError(const std::string& text, uint32_t code);

    unsigned int GetFontListBase() const { return mFontListBase; }

private:
    int SetupPixelFormat();
    int CreateRenderingContext();
    int CreateFontDisplayLists();

    ErrorSink mErrorSink;
    QOpenGLContext* mContext = nullptr;
    unsigned int mFontListBase = 0;
};

}  // namespace router
