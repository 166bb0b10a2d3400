#include "MainView.h"

#include <QSurfaceFormat>
#include <QTimerEvent>

namespace router {

MainView::MainView(PlotOpenGL& plot, StatusSource& status, std::function<void()> linkWatch, QWidget* parent)
    : QOpenGLWidget(parent), mPlot(plot), mStatus(status), mLinkWatch(std::move(linkWatch)) {
    setFormat(RequiredFormat());
    setMinimumSize(1, 1);
    mTimer.start(kTimerPeriodMs, this);
}

MainView::~MainView() { StopTimer(); }

QSurfaceFormat MainView::RequiredFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    // Opaque: a cleared frame is black, not see-through, wherever it is shown.
    format.setAlphaBufferSize(0);
    format.setDepthBufferSize(24);
    return format;
}

void MainView::StopTimer() { mTimer.stop(); }

void MainView::initializeGL() { mPlot.Initialize(context()); }

void MainView::resizeGL(int width, int height) {
    const qreal ratio = devicePixelRatioF();
    mViewWidth = static_cast<int32_t>(width * ratio);
    mViewHeight = static_cast<int32_t>(height * ratio);
}

void MainView::paintGL() { mCanvas.Draw(mPlot, mStatus, mViewWidth, mViewHeight); }

void MainView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != mTimer.timerId()) {
        QOpenGLWidget::timerEvent(event);
        return;
    }
    if (mLinkWatch) {
        mLinkWatch();
    }
    update();
}

}  // namespace router
