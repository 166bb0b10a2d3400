#include "Canvas.h"

#include "platform/Latin1.h"

namespace router {

void Canvas::Draw(Plotter& plot, StatusSource& status, int32_t width, int32_t height) {
    plot.BeginFrame();
    plot.SetProjection(0, 0, width, height, 0, width, 0, height, -1, 1);
    mCursorY = height;
    DrawServerConnectionPanel(plot, status, width, height);
    DrawClientConnectionsPanel(plot, status, width);
}

void Canvas::DrawServerConnectionPanel(Plotter& plot, StatusSource& status, int32_t width, int32_t height) {
    const int top = height;
    Line(plot, 0, top - 11, 50, top - 11);
    Text(plot, "Server Connection", 55, top - 15);
    Line(plot, 143, top - 11, width, top - 11);
    Text(plot, L"Connected To Server:     ", status.GetServerPCName(), 10, top - 30);
    Text(plot, L"Server IP Address:     ", status.GetServerIPAddress(), 10, top - 45);
    Text(plot, L"Server Application Name:     ", status.GetServerApplicationName(), 10, top - 60);
    Line(plot, 0, top - 75, width, top - 75, 3);
    mCursorY = top - 75;
}

void Canvas::DrawClientConnectionsPanel(Plotter& plot, StatusSource& status, int32_t width) {
    const int top = mCursorY;
    Line(plot, 0, top - 34, 50, top - 34);
    Text(plot, "Client Connections", 55, top - 38);
    Line(plot, 155, top - 34, width, top - 34);
    mCursorY = top - 51;
    int row = mCursorY;
    // The count is read again after every client: clients come and go while
    // the frame is drawn.
    for (int32_t i = 0; i < status.GetNumberOfClients(); ++i) {
        Text(plot, "Client PC Name:     " + status.GetClientPCName(i), 10, row);
        row -= kRowHeight;
        Text(plot, "Client IP Address:     " + status.GetClientIPAddress(i), 10, row);
        row -= kRowHeight;
        Text(plot, "Client Application Name:     " + status.GetClientApplicationName(i), 10, row);
        row -= kRowHeight;
        Text(plot, "Data Stream Count:     " + std::to_string(status.GetDataStreamCount(i)), 10, row);
        row -= kRowHeight;
        Text(plot, "Data Object List:     " + status.GetDataObjectList(i), 10, row);
        row -= kRowHeight;
        Line(plot, 0, row, width, row);
        row -= kRowHeight;
    }
    Line(plot, 0, row, width, row, 3);
}

void Canvas::Line(Plotter& plot, int x1, int y1, int x2, int y2, int width) {
    plot.DrawLine(x1, y1, 0, x2, y2, 0, kWhite, width, 1.0f);
}

void Canvas::Text(Plotter& plot, const std::string& text, int x, int y) {
    plot.DrawText(text, x, y, 0, kWhite);
}

void Canvas::Text(Plotter& plot, const std::wstring& label, const std::wstring& value, int x, int y) {
    // The font covers single-byte codes only.
    Text(plot, platform::WideToLatin1Lossy(label + value), x, y);
}

}  // namespace router
