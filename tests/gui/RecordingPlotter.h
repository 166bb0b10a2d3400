#pragma once
// A drawing interface that records what the layout asks for, and a status
// source with values the test sets.

#include "Plotter.h"
#include "StatusSource.h"

#include <functional>
#include <string>
#include <vector>

namespace gui_test {

struct DrawCall {
    enum class Kind { BeginFrame, Projection, Line, Text };
    explicit DrawCall(Kind k, std::string t = {}) : kind(k), text(std::move(t)) {}
    Kind kind;
    std::string text;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int width = 0;
    uint32_t colour = 0;
    float opacity = 0;
    std::vector<int> projection;
};

class RecordingPlotter : public router::Plotter {
public:
    void BeginFrame() override { calls.emplace_back(DrawCall::Kind::BeginFrame); }
    void SetProjection(int vx, int vy, int vw, int vh, int left, int right, int bottom, int top, int nearZ,
                       int farZ) override {
        DrawCall call(DrawCall::Kind::Projection);
        call.projection = {vx, vy, vw, vh, left, right, bottom, top, nearZ, farZ};
        calls.push_back(call);
    }
    void DrawLine(int x1, int y1, int z1, int x2, int y2, int z2, uint32_t colour, int width,
                  float opacity) override {
        DrawCall call(DrawCall::Kind::Line);
        call.x1 = x1, call.y1 = y1, call.x2 = x2, call.y2 = y2;
        call.width = width, call.colour = colour, call.opacity = opacity;
        zs.push_back(z1), zs.push_back(z2);
        calls.push_back(call);
    }
    void DrawText(const std::string& text, int x, int y, int z, uint32_t colour) override {
        DrawCall call(DrawCall::Kind::Text, text);
        call.x1 = x, call.y1 = y, call.colour = colour;
        zs.push_back(z);
        calls.push_back(call);
    }

    std::vector<DrawCall> Of(DrawCall::Kind kind) const {
        std::vector<DrawCall> out;
        for (const auto& call : calls) {
            if (call.kind == kind) {
                out.push_back(call);
            }
        }
        return out;
    }

    std::vector<DrawCall> calls;
    std::vector<int> zs;
};

struct FakeClient {
    std::string pcName, ipAddress, applicationName;
    int32_t streamCount = 0;
    std::string objectList;
};

class FakeStatus : public router::StatusSource {
public:
    std::wstring GetServerPCName() override { return serverPCName; }
    std::wstring GetServerIPAddress() override { return serverIPAddress; }
    std::wstring GetServerApplicationName() override { return serverApplicationName; }

    int32_t GetNumberOfClients() override {
        ++countReads;
        if (onCountRead) {
            onCountRead(countReads);
        }
        return static_cast<int32_t>(clients.size());
    }
    std::string GetClientPCName(int32_t i) override { return Valid(i) ? clients[i].pcName : kInvalid; }
    std::string GetClientIPAddress(int32_t i) override { return Valid(i) ? clients[i].ipAddress : kInvalid; }
    std::string GetClientApplicationName(int32_t i) override {
        return Valid(i) ? clients[i].applicationName : kInvalid;
    }
    int32_t GetDataStreamCount(int32_t i) override { return Valid(i) ? clients[i].streamCount : -1; }
    std::string GetDataObjectList(int32_t i) override { return Valid(i) ? clients[i].objectList : ""; }

    bool Valid(int32_t i) const { return i >= 0 && i < static_cast<int32_t>(clients.size()); }

    static constexpr const char* kInvalid = "Error, invalid index";
    std::wstring serverPCName = L"Not Connected";
    std::wstring serverIPAddress = L"Not Connected";
    std::wstring serverApplicationName = L"Not Connected";
    std::vector<FakeClient> clients;
    int countReads = 0;
    // Called on every count read with the number of reads so far.
    std::function<void(int)> onCountRead;
};

}  // namespace gui_test
