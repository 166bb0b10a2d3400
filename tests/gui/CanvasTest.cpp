// The status view's layout, through a recording drawing interface.

#include "Canvas.h"
#include "CoreStatusSource.h"
#include "RecordingPlotter.h"
#include "RouterCore.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace gui_test {
namespace {

using Kind = DrawCall::Kind;

struct Expected {
    Kind kind;
    std::string text;  // texts only
    int x1, y1, x2, y2;
    int width;         // lines only
};

Expected L(int x1, int y1, int x2, int y2, int width = 1) { return {Kind::Line, "", x1, y1, x2, y2, width}; }
Expected T(const std::string& text, int x, int y) { return {Kind::Text, text, x, y, 0, 0, 0}; }

void ExpectDrawn(const RecordingPlotter& plot, const std::vector<Expected>& expected) {
    std::vector<DrawCall> drawn;
    for (const auto& call : plot.calls) {
        if (call.kind == Kind::Line || call.kind == Kind::Text) {
            drawn.push_back(call);
        }
    }
    ASSERT_EQ(drawn.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("element " + std::to_string(i));
        const DrawCall& call = drawn[i];
        const Expected& want = expected[i];
        ASSERT_EQ(call.kind, want.kind);
        EXPECT_EQ(call.colour, 0x00FFFFFFu);
        if (want.kind == Kind::Text) {
            EXPECT_EQ(call.text, want.text);
            EXPECT_EQ(call.x1, want.x1);
            EXPECT_EQ(call.y1, want.y1);
        } else {
            EXPECT_EQ(call.x1, want.x1);
            EXPECT_EQ(call.y1, want.y1);
            EXPECT_EQ(call.x2, want.x2);
            EXPECT_EQ(call.y2, want.y2);
            EXPECT_EQ(call.width, want.width);
            EXPECT_FLOAT_EQ(call.opacity, 1.0f);
        }
    }
}

FakeClient SampleClient() {
    return {"lab-pc-7", "127.0.0.1", "Spike Sorter", 2, "TT1 CSC3 "};
}

TEST(CanvasLayout, WorkedLayoutOf400PixelViewWithOneClient) {
    FakeStatus status;
    status.serverPCName = L"acq-server";
    status.serverIPAddress = L"10.1.2.3";
    status.serverApplicationName = L"Zorlent";
    status.clients = {SampleClient()};
    RecordingPlotter plot;
    router::Canvas canvas;
    canvas.Draw(plot, status, 500, 400);

    ASSERT_GE(plot.calls.size(), 2u);
    EXPECT_EQ(plot.calls[0].kind, Kind::BeginFrame);
    ASSERT_EQ(plot.calls[1].kind, Kind::Projection);
    EXPECT_EQ(plot.calls[1].projection, (std::vector<int>{0, 0, 500, 400, 0, 500, 0, 400, -1, 1}));
    ExpectDrawn(plot, {
                          L(0, 389, 50, 389),
                          T("Server Connection", 55, 385),
                          L(143, 389, 500, 389),
                          T("Connected To Server:     acq-server", 10, 370),
                          T("Server IP Address:     10.1.2.3", 10, 355),
                          T("Server Application Name:     Zorlent", 10, 340),
                          L(0, 325, 500, 325, 3),
                          L(0, 291, 50, 291),
                          T("Client Connections", 55, 287),
                          L(155, 291, 500, 291),
                          T("Client PC Name:     lab-pc-7", 10, 274),
                          T("Client IP Address:     127.0.0.1", 10, 261),
                          T("Client Application Name:     Spike Sorter", 10, 248),
                          T("Data Stream Count:     2", 10, 235),
                          T("Data Object List:     TT1 CSC3 ", 10, 222),
                          L(0, 209, 500, 209),
                          L(0, 196, 500, 196, 3),
                      });
    EXPECT_EQ(canvas.GetCursorY(), 274);
    for (int z : plot.zs) {
        EXPECT_EQ(z, 0);
    }
}

TEST(CanvasLayout, NoClientEndsWithThickLineUnderHeader) {
    FakeStatus status;
    RecordingPlotter plot;
    router::Canvas canvas;
    canvas.Draw(plot, status, 320, 200);
    const auto lines = plot.Of(Kind::Line);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3].y1, 200 - 75 - 34);
    EXPECT_EQ(lines[4].x1, 155);
    EXPECT_EQ(lines[4].x2, 320);
    EXPECT_EQ(lines[5].y1, 200 - 75 - 51);
    EXPECT_EQ(lines[5].y2, 200 - 75 - 51);
    EXPECT_EQ(lines[5].width, 3);
    EXPECT_EQ(plot.Of(Kind::Text).size(), 5u);
}

TEST(CanvasLayout, ClientWithoutStreamsShowsZeroAndEmptyList) {
    FakeStatus status;
    status.clients = {{"pc", "127.0.0.1", "App", 0, ""}};
    RecordingPlotter plot;
    router::Canvas().Draw(plot, status, 500, 400);
    const auto texts = plot.Of(Kind::Text);
    ASSERT_EQ(texts.size(), 10u);
    EXPECT_EQ(texts[8].text, "Data Stream Count:     0");
    EXPECT_EQ(texts[9].text, "Data Object List:     ");
}

// Every element keeps its distance from the top edge; the right ends follow
// the width. A view too small for the blocks gets them below its bottom edge,
// where the projection leaves them invisible.
TEST(CanvasLayout, ResizingMovesEverythingWithTheTopEdge) {
    FakeStatus status;
    status.clients = {SampleClient(), SampleClient(), SampleClient()};
    RecordingPlotter tall;
    RecordingPlotter small;
    router::Canvas().Draw(tall, status, 500, 600);
    router::Canvas().Draw(small, status, 230, 150);

    ASSERT_EQ(tall.calls.size(), small.calls.size());
    EXPECT_EQ(small.calls[1].projection, (std::vector<int>{0, 0, 230, 150, 0, 230, 0, 150, -1, 1}));
    int belowBottom = 0;
    for (size_t i = 2; i < tall.calls.size(); ++i) {
        SCOPED_TRACE("element " + std::to_string(i));
        const DrawCall& a = tall.calls[i];
        const DrawCall& b = small.calls[i];
        ASSERT_EQ(a.kind, b.kind);
        EXPECT_EQ(a.y1 - 600, b.y1 - 150);
        EXPECT_EQ(a.x1, b.x1);
        if (a.kind == Kind::Line) {
            EXPECT_EQ(a.y2 - 600, b.y2 - 150);
            EXPECT_EQ(b.x2, a.x2 == 500 ? 230 : a.x2);
        }
        belowBottom += b.y1 < 0 ? 1 : 0;
    }
    // Two of the three client blocks and the closing line lie wholly below.
    EXPECT_GE(belowBottom, 13);
}

TEST(CanvasLayout, ServerTextsAreNarrowedOneBytePerCharacter) {
    FakeStatus status;
    status.serverPCName = L"Caf\u00e9-PC";
    status.serverIPAddress = L"\u0100\u4e2d";
    RecordingPlotter plot;
    router::Canvas().Draw(plot, status, 500, 400);
    const auto texts = plot.Of(Kind::Text);
    EXPECT_EQ(texts[1].text, "Connected To Server:     Caf\xe9-PC");
    EXPECT_EQ(texts[2].text, "Server IP Address:     ??");
}

// The count is read again after each client: a client that connects during
// the frame gets a block, and one that left shows the invalid-index values.
TEST(CanvasLayout, ClientCountIsReadAfterEveryClient) {
    FakeStatus status;
    status.clients = {SampleClient()};
    status.onCountRead = [&status](int reads) {
        if (reads == 2) {
            status.clients.push_back({"late", "127.0.0.2", "Late App", 1, "SE1 "});
        }
    };
    RecordingPlotter plot;
    router::Canvas().Draw(plot, status, 500, 400);
    EXPECT_EQ(status.countReads, 3);
    const auto texts = plot.Of(Kind::Text);
    ASSERT_EQ(texts.size(), 15u);
    EXPECT_EQ(texts[10].text, "Client PC Name:     late");
    EXPECT_EQ(texts[10].y1, 274 - 6 * 13);
    EXPECT_EQ(plot.Of(Kind::Line).back().y1, 274 - 12 * 13);
}

class CoreStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        mDirectory = std::filesystem::temp_directory_path() /
                     ("router-gui-" + std::to_string(::getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(mDirectory);
        mCore = std::make_unique<router::RouterCore>(mDirectory.string());
    }
    void TearDown() override {
        mCore.reset();
        std::filesystem::remove_all(mDirectory);
    }

    std::filesystem::path mDirectory;
    std::unique_ptr<router::RouterCore> mCore;
};

TEST_F(CoreStatusTest, NotConnectedUpstreamShowsNotConnected) {
    ASSERT_EQ(mCore->Start(), 0);
    router::CoreStatusSource status(*mCore);
    RecordingPlotter plot;
    router::Canvas().Draw(plot, status, 500, 400);
    const auto texts = plot.Of(Kind::Text);
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[1].text, "Connected To Server:     Not Connected");
    EXPECT_EQ(texts[2].text, "Server IP Address:     Not Connected");
    EXPECT_EQ(texts[3].text, "Server Application Name:     Not Connected");
}

// A status source that claims one client more than the server list holds,
// as when a client is removed between the count and its values.
class VanishedClient : public router::CoreStatusSource {
public:
    using CoreStatusSource::CoreStatusSource;
    int32_t GetNumberOfClients() override { return reads++ == 0 ? 1 : 0; }
    int reads = 0;
};

TEST_F(CoreStatusTest, RemovedClientShowsTheServerListsInvalidIndexTexts) {
    ASSERT_EQ(mCore->Start(), 0);
    VanishedClient status(*mCore);
    RecordingPlotter plot;
    router::Canvas().Draw(plot, status, 500, 400);
    const auto texts = plot.Of(Kind::Text);
    ASSERT_EQ(texts.size(), 10u);
    EXPECT_EQ(texts[5].text, "Client PC Name:     Error, invalid index");
    EXPECT_EQ(texts[6].text, "Client IP Address:     Error, invalid index");
    EXPECT_EQ(texts[7].text, "Client Application Name:     Error, invalid index");
    EXPECT_EQ(texts[8].text, "Data Stream Count:     -1");
    EXPECT_EQ(texts[9].text, "Data Object List:     ");
}

TEST_F(CoreStatusTest, NoServerListMeansNoClients) {
    router::CoreStatusSource status(*mCore);
    EXPECT_EQ(status.GetNumberOfClients(), 0);
    mCore->Start();
    mCore->Shutdown();
    EXPECT_EQ(status.GetNumberOfClients(), 0);
    EXPECT_EQ(status.GetDataStreamCount(0), -1);
}

}  // namespace
}  // namespace gui_test
