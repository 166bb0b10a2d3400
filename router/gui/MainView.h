#pragma once
// The router's whole client area: the status view, drawn with OpenGL by the
// canvas. Its one-second timer runs the upstream link watch, then repaints.

#include "Canvas.h"
#include "PlotOpenGL.h"
#include "StatusSource.h"

#include <QBasicTimer>
#include <QOpenGLWidget>

#include <cstdint>
#include <functional>

namespace router {

class MainView : public QOpenGLWidget {
    Q_OBJECT

public:
    static constexpr int kTimerPeriodMs = 1000;

    // plot and status must outlive the view. linkWatch runs on every tick
    // before the repaint request.
    MainView(PlotOpenGL& plot, StatusSource& status, std::function<void()> linkWatch, QWidget* parent = nullptr);
    ~MainView() override;

    void StopTimer();
    bool IsTimerActive() const { return mTimer.isActive(); }

    int32_t GetViewWidth() const { return mViewWidth; }
    int32_t GetViewHeight() const { return mViewHeight; }

    // A format the fixed-function drawing can use: double-buffered RGBA with
    // a depth buffer, compatibility profile.
    static QSurfaceFormat RequiredFormat();

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    void timerEvent(QTimerEvent* event) override;

private:
    PlotOpenGL& mPlot;
    StatusSource& mStatus;
    std::function<void()> mLinkWatch;
    Canvas mCanvas;
    QBasicTimer mTimer;
    int32_t mViewWidth = 0;
    int32_t mViewHeight = 0;
};

}  // namespace router
