#pragma once
// zorlent-sim as a library: a stand-in acquisition server that tests start
// in-process.
//
//   sim::SimulatorOptions options;
//   options.port = 0;                  // ephemeral; Port() tells the bound one
//   sim::Simulator server(options);
//   if (!server.Start()) { puts(server.LastError().c_str()); }
//   ... connect a client to 127.0.0.1:server.Port() ...
//   server.RecordsSent(protocol::RecordType::CSC);
//   server.KillConnections();          // "upstream killed"; keeps listening
//   server.Stop();                     // also done by the destructor
//
// Every client message connection is served on its own thread; records are
// generated on one thread on a simulated clock (rate-scale times real time)
// and each data connection is written from its own thread, so a stalled
// client never holds up the others. All members are safe to call from any
// thread.

#include "simulator/ObjectCatalog.h"

#include "protocol/RecordTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace sim {

struct SimulatorOptions {
    uint16_t port = 26100;          // 0: any free port
    std::string bindAddress;        // dotted IPv4; empty: all addresses
    double rateScale = 1.0;         // multiplies every record rate
    ObjectCatalog catalog = ObjectCatalog::Default();
    uint16_t firstHandOutPort = 26300;  // "-GetNextAvailablePortNumber" counts up from here
    // Receives each log line (no line end); null writes the lines to stderr.
    std::function<void(const std::string&)> log;
};

class Simulator {
public:
    explicit Simulator(SimulatorOptions options = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Binds, listens and starts the threads. False (reason in LastError())
    // when the options are unusable or the port cannot be bound.
    bool Start();
    // Drops every client, stops the threads. Safe to call more than once.
    void Stop();
    bool Running() const;

    // The bound message port (valid after a successful Start).
    uint16_t Port() const;
    std::string LastError() const;
    const ObjectCatalog& Catalog() const;

    // Whole records written to data connections / produced, per type.
    uint64_t RecordsSent(protocol::RecordType type) const;
    uint64_t RecordsGenerated(protocol::RecordType type) const;
    // Message connections being served / data connections still open.
    int ClientCount() const;
    int DataConnectionCount() const;

    // Closes every client's message and data connections at once, as if the
    // server had died; new clients are still accepted.
    void KillConnections();
    // While paused the server hangs: commands get no reply and no records
    // are sent (records produced meanwhile are lost, so their timestamps
    // show the gap). Unpausing resumes both.
    void SetPaused(bool paused);

private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
};

}  // namespace sim
