// PlotOpenGL and MainView in real windows on the virtual X server with
// software OpenGL: the frames are read back and searched for lines and text.

#include "FrameProbe.h"
#include "MainView.h"
#include "PlotOpenGL.h"
#include "RecordingPlotter.h"

#include <QOpenGLContext>
#include <QOpenGLWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace gui_test {
namespace {

// A bare OpenGL widget that initialises a PlotOpenGL and hands each frame
// to the test, with the view's projection already set.
class PlotHarness : public QOpenGLWidget {
public:
    using Paint = std::function<void(router::PlotOpenGL&, int width, int height)>;

    PlotHarness(router::PlotOpenGL& plot, Paint paint) : mPlot(plot), mPaint(std::move(paint)) {
        setFormat(router::MainView::RequiredFormat());
    }

protected:
    void initializeGL() override { mPlot.Initialize(context()); }
    void paintGL() override {
        mPlot.BeginFrame();
        mPlot.SetProjection(0, 0, width(), height(), 0, width(), 0, height(), -1, 1);
        mPaint(mPlot, width(), height());
    }

private:
    router::PlotOpenGL& mPlot;
    Paint mPaint;
};

class PlotOpenGLTest : public ::testing::Test {
protected:
    FrameProbe Render(const PlotHarness::Paint& paint, int width = 200, int height = 100) {
        PlotHarness harness(mPlot, paint);
        harness.resize(width, height);
        harness.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&harness));
        return FrameProbe(harness.grabFramebuffer());
    }

    std::vector<std::string> mErrors;
    router::PlotOpenGL mPlot{[this](const std::string& text) { mErrors.push_back(text); }};
};

TEST_F(PlotOpenGLTest, InitialisesWithoutErrorsAndBuildsTheFontLists) {
    Render([](router::PlotOpenGL&, int, int) {});
    EXPECT_TRUE(mErrors.empty()) << mErrors.front();
    EXPECT_NE(mPlot.GetFontListBase(), 0u);
}

TEST_F(PlotOpenGLTest, LinesAreOneOrThreePixelsThick) {
    const FrameProbe frame = Render([](router::PlotOpenGL& plot, int width, int) {
        plot.DrawLine(0, 30, 0, width, 30, 0, 0x00FFFFFF, 1, 1.0f);
        plot.DrawLine(0, 70, 0, width, 70, 0, 0x00FFFFFF, 3, 1.0f);
    });
    for (int x : {5, 100, 195}) {
        SCOPED_TRACE("column " + std::to_string(x));
        EXPECT_EQ(frame.WhiteRowsNear(x, 30), 1);
        EXPECT_EQ(frame.WhiteRowsNear(x, 70), 3);
    }
    EXPECT_EQ(frame.NonBlack(), 4 * 200);
}

TEST_F(PlotOpenGLTest, ColoursAreRedGreenBlueFromTheLowByteUp) {
    struct Case {
        uint32_t colour;
        int red, green, blue;
    };
    for (const Case& c : {Case{0x000000FF, 255, 0, 0}, Case{0x0000FF00, 0, 255, 0}, Case{0x00FF0000, 0, 0, 255},
                          Case{0x00336699, 0x99, 0x66, 0x33}}) {
        SCOPED_TRACE(std::to_string(c.colour));
        const FrameProbe frame = Render([&c](router::PlotOpenGL& plot, int width, int) {
            plot.DrawLine(0, 50, 0, width, 50, 0, c.colour, 3, 1.0f);
        });
        const QRgb pixel = frame.At(100, 50);
        EXPECT_NEAR(qRed(pixel), c.red, 1);
        EXPECT_NEAR(qGreen(pixel), c.green, 1);
        EXPECT_NEAR(qBlue(pixel), c.blue, 1);
    }
}

TEST_F(PlotOpenGLTest, TextLightsPixelsOnlyAroundItsBaseline) {
    const FrameProbe frame = Render([](router::PlotOpenGL& plot, int, int) {
        plot.DrawText("Server Connection", 20, 40, 0, 0x00FFFFFF);
    });
    const int inside = frame.WhiteIn(20, 40 - 4, 20 + 140, 40 + 12);
    EXPECT_GT(inside, 100);
    EXPECT_EQ(frame.WhiteIn(0, 0, 200, 100), inside);
    // Glyphs begin at the pen position and sit on the baseline: the first
    // column and the row just above the baseline both carry ink.
    EXPECT_GT(frame.WhiteIn(20, 40, 23, 52), 0);
    EXPECT_GT(frame.WhiteIn(20, 40, 160, 41), 0);
}

TEST_F(PlotOpenGLTest, EmptyTextDrawsNothing) {
    const FrameProbe frame = Render([](router::PlotOpenGL& plot, int, int) {
        plot.DrawText("", 20, 40, 0, 0x00FFFFFF);
    });
    EXPECT_EQ(frame.NonBlack(), 0);
}

// Bytes above 127 are Latin-1 codes with glyphs of their own.
TEST_F(PlotOpenGLTest, BytesAbove127DrawTheirLatin1Glyphs) {
    auto ink = [this](const std::string& text) {
        const FrameProbe frame = Render([&text](router::PlotOpenGL& plot, int, int) {
            plot.DrawText(text, 20, 40, 0, 0x00FFFFFF);
        });
        std::vector<bool> pixels;
        for (int y = 30; y < 60; ++y) {
            for (int x = 15; x < 40; ++x) {
                pixels.push_back(frame.IsWhite(x, y));
            }
        }
        return pixels;
    };
    const auto plain = ink("e");
    const auto accented = ink("\xe9");
    EXPECT_NE(std::count(accented.begin(), accented.end(), true), 0);
    EXPECT_NE(plain, accented);
}

TEST_F(PlotOpenGLTest, ErrorsWithoutAUsableContextAreShownAndInitialiseStillSucceeds) {
    if (QOpenGLContext* current = QOpenGLContext::currentContext()) {
        current->doneCurrent();
    }
    EXPECT_EQ(mPlot.Initialize(nullptr), 0);
    ASSERT_EQ(mErrors.size(), 2u);
    EXPECT_EQ(mErrors[0], "Error setting pixel format");
    const std::string prefix = "Error creating OGL Context, Last Error Code = ";
    ASSERT_EQ(mErrors[1].compare(0, prefix.size(), prefix), 0);
    const std::string code = mErrors[1].substr(prefix.size());
    EXPECT_FALSE(code.empty());
    EXPECT_EQ(code.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(mPlot.GetFontListBase(), 0u);
}

class MainViewTest : public ::testing::Test {
protected:
    std::unique_ptr<router::MainView> ShowView(int width, int height) {
        auto view = std::make_unique<router::MainView>(mPlot, mStatus, [this] { ++mTicks; });
        view->resize(width, height);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        return view;
    }

    std::vector<std::string> mErrors;
    router::PlotOpenGL mPlot{[this](const std::string& text) { mErrors.push_back(text); }};
    FakeStatus mStatus;
    int mTicks = 0;
};

// The rows the layout gives, measured from the top edge H: thin header
// lines at H-11, H-75-34 and the separator; thick lines at H-75 and the end.
TEST_F(MainViewTest, FrameHasTheLayoutsLinesAndTextsAtEverySize) {
    mStatus.serverPCName = L"acq-server";
    mStatus.clients = {{"lab-pc-7", "127.0.0.1", "Spike Sorter", 2, "TT1 CSC3 "}};
    struct Size {
        int width, height;
    };
    for (const Size size : {Size{500, 400}, Size{420, 260}, Size{300, 120}}) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        auto view = ShowView(size.width, size.height);
        const FrameProbe frame(view->grabFramebuffer());
        EXPECT_NE(mPlot.GetFontListBase(), 0u);
        EXPECT_EQ(view->GetViewWidth(), size.width);
        EXPECT_EQ(view->GetViewHeight(), size.height);
        const int h = size.height;
        const int right = size.width - 5;
        struct Row {
            int y, thickness;
        };
        for (const Row row : {Row{h - 11, 1}, Row{h - 75, 3}, Row{h - 109, 1}, Row{h - 126 - 65, 1},
                              Row{h - 126 - 78, 3}}) {
            if (row.y < 3) {
                continue;
            }
            SCOPED_TRACE("row " + std::to_string(row.y));
            EXPECT_EQ(frame.WhiteRowsNear(right, row.y, 2), row.thickness);
            EXPECT_EQ(frame.WhiteRowsNear(5, row.y, 2), row.thickness);
        }
        // Texts: the panel title between its two line pieces and the first
        // server row; none right of the short texts.
        EXPECT_GT(frame.WhiteIn(55, h - 18, 143, h - 4), 40);
        EXPECT_GT(frame.WhiteIn(10, h - 33, 200, h - 19), 40);
        if (size.width >= 420) {
            EXPECT_EQ(frame.WhiteIn(400, h - 73, size.width, h - 13), 0);
        }
    }
}

TEST_F(MainViewTest, ZeroClientsEndWithTheThickLineAndNothingBelow) {
    auto view = ShowView(400, 300);
    const FrameProbe frame(view->grabFramebuffer());
    EXPECT_EQ(frame.WhiteRowsNear(200, 300 - 126, 2), 3);
    EXPECT_EQ(frame.WhiteIn(0, 0, 400, 300 - 130), 0);
}

TEST_F(MainViewTest, TimerRunsTheLinkWatchAndRepaintsEverySecond) {
    auto view = ShowView(200, 150);
    QTest::qWait(200);
    const int framesBefore = mStatus.countReads;
    QTest::qWait(3300);
    // About one tick a second; generous for a loaded machine.
    EXPECT_GE(mTicks, 2);
    EXPECT_LE(mTicks, 4);
    EXPECT_GE(mStatus.countReads - framesBefore, 2);

    view->StopTimer();
    const int ticks = mTicks;
    QTest::qWait(1300);
    EXPECT_EQ(mTicks, ticks);
    EXPECT_FALSE(view->IsTimerActive());
}

}  // namespace
}  // namespace gui_test
