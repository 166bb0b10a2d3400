#pragma once
// Settings and hook types shared by the router's server classes.

#include <cstdint>
#include <functional>
#include <string>

namespace router {

// Time-outs that keep one misbehaving client from holding the router up.
struct ServerOptions {
    int idleTimeoutMs = 5000;      // front server: a connection silent this long is ended
    int connectTimeoutMs = 3000;   // connecting a client's data stream
    int sendTimeoutMs = 2000;      // one write to a client's data stream
    int monitorIntervalMs = 500;   // pause between passes over the per-client servers
    int awaitingTimeoutMs = 5000;  // a handed-out port nobody connects to this long is reclaimed
};

// Answers a command the server list owns: 0 when handled (reply filled),
// anything else when the message server should handle it itself.
using CommandCallback = int32_t (*)(void* context, std::string message, std::string& reply);

// Shows an error text to the user (a modal box where there is a window).
using MessageNotifier = std::function<void(const std::string& text)>;

}  // namespace router
