#include "PlotOpenGL.h"

#include "GlyphBitmap.h"

#include <QMessageBox>
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include <GL/gl.h>

#include <cerrno>

namespace router {

namespace {

constexpr int kFontCodes = 256;

float Red(uint32_t colour) { return static_cast<float>(colour & 0xFF) / 255.0f; }
float Green(uint32_t colour) { return static_cast<float>((colour >> 8) & 0xFF) / 255.0f; }
float Blue(uint32_t colour) { return static_cast<float>((colour >> 16) & 0xFF) / 255.0f; }

void ShowInMessageBox(const std::string& text) {
    QMessageBox::critical(nullptr, QStringLiteral("Router"), QString::fromLatin1(text));
}

}  // namespace

PlotOpenGL::PlotOpenGL(ErrorSink errorSink)
    : mErrorSink(errorSink ? std::move(errorSink) : ErrorSink(ShowInMessageBox)) {}

int PlotOpenGL::Initialize(QOpenGLContext* context) {
    mContext = context;
    SetupPixelFormat();
    CreateRenderingContext();
    CreateFontDisplayLists();
    return 0;
}

// The fixed-function calls need an RGBA desktop context without the core
// profile's removals.
int PlotOpenGL::SetupPixelFormat() {
    if (mContext != nullptr) {
        const QSurfaceFormat format = mContext->format();
        const bool fixedFunction =
            format.renderableType() != QSurfaceFormat::OpenGLES && format.profile() != QSurfaceFormat::CoreProfile;
        if (fixedFunction && format.redBufferSize() != 0) {
            return 0;
        }
    }
    ShowError("Error setting pixel format");
    return -1;
}

int PlotOpenGL::CreateRenderingContext() {
    if (mContext == nullptr || !mContext->isValid()) {
        ShowError("Error creating OGL Context, Last Error Code = ", static_cast<uint32_t>(errno));
        return -1;
    }
    if (QOpenGLContext::currentContext() != mContext) {
        ShowError("Error setting current Context, Last Error Code = ", static_cast<uint32_t>(errno));
        return -1;
    }
    return 0;
}

int PlotOpenGL::CreateFontDisplayLists() {
    if (QOpenGLContext::currentContext() == nullptr) {
        mFontListBase = 0;
        return -1;
    }
    // Errors left by earlier calls on this context are not ours to judge.
    while (glGetError() != GL_NO_ERROR) {
    }
    mFontListBase = glGenLists(kFontCodes);
    if (mFontListBase == 0) {
        return -1;
    }
    const QFont font = StatusFont();
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int code = 0; code < kFontCodes; ++code) {
        const GlyphBitmap glyph = RasteriseGlyph(font, static_cast<unsigned char>(code));
        glNewList(mFontListBase + static_cast<GLuint>(code), GL_COMPILE);
        if (glyph.bits.empty()) {
            // Some drivers refuse an empty bitmap in a display list; one
            // blank pixel draws nothing all the same.
            static const GLubyte blank = 0;
            glBitmap(1, 1, 0.0f, 0.0f, glyph.advance, 0.0f, &blank);
        } else {
            glBitmap(glyph.width, glyph.height, glyph.originX, glyph.originY, glyph.advance, 0.0f,
                     glyph.bits.data());
        }
        glEndList();
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteLists(mFontListBase, kFontCodes);
        mFontListBase = 0;
        return -1;
    }
    return 0;
}

void PlotOpenGL::BeginFrame() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
}

void PlotOpenGL::SetProjection(int viewportX, int viewportY, int viewportWidth, int viewportHeight, int left,
                               int right, int bottom, int top, int nearZ, int farZ) {
    glViewport(viewportX, viewportY, viewportWidth, viewportHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(left, right, bottom, top, nearZ, farZ);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void PlotOpenGL::DrawLine(int x1, int y1, int z1, int x2, int y2, int z2, uint32_t colour, int width,
                          float opacity) {
    glColor4f(Red(colour), Green(colour), Blue(colour), opacity);
    glLineWidth(static_cast<GLfloat>(width));
    glBegin(GL_LINES);
    glVertex3i(x1, y1, z1);
    glVertex3i(x2, y2, z2);
    glEnd();
}

void PlotOpenGL::DrawText(const std::string& text, int x, int y, int z, uint32_t colour) {
    glColor3f(Red(colour), Green(colour), Blue(colour));
    if (text.empty()) {
        return;
    }
    glRasterPos3i(x, y, z);
    glPushAttrib(GL_LIST_BIT);
    glListBase(mFontListBase);
    glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());
    glPopAttrib();
}

void PlotOpenGL::ShowError(const std::string& text) { mErrorSink(text); }

void PlotOpenGL::ShowError(const std::string& text, uint32_t code) { mErrorSink(text + std::to_string(code)); }

}  // namespace router
