#include "TapOptions.h"

#include <CLI/CLI.hpp>

namespace tap {

int ParseTapOptions(int argc, char** argv, TapOptions& options) {
    CLI::App app{"Connects to an acquisition server (or a router), lists its objects, opens some of them "
                 "and prints their records or their record rates.",
                 "plenvar-tap"};
    app.add_flag("--router", options.router,
                 "connect through a router's front port 26200 (falls back to port 26100)");
    app.add_flag("--list", options.list, "print the server's objects and their types");
    auto* open = app.add_option("--open", options.open, "open these objects (names, or comma-separated)")
                     ->delimiter(',');
    auto* openAll = app.add_flag("--open-all", options.openAll, "open every object of the server");
    open->excludes(openAll);
    app.add_option("--seconds", options.seconds, "stop after this many seconds")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--count", options.count, "stop after this many records");
    bool printFlag = false;
    auto* print = app.add_flag("--print", printFlag, "one line per record (the default)");
    auto* rate = app.add_flag("--rate", options.rate, "one line per second with each object's record rate");
    print->excludes(rate);
    app.add_option("--log", options.logFile, "write the client library's log to this file");
    app.add_option("HOST", options.host, "computer name or dotted address of the server")->required();
    app.footer("Without --open or --open-all the object list is printed. Stops after --seconds or --count, "
               "or on Ctrl-C.\nExample: plenvar-tap localhost --open SE1 CSC1 --count 20");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int status = app.exit(error);
        return status == 0 ? 0 : 2;
    }
    if (!options.OpensAnything()) {
        options.list = true;
    }
    return -1;
}

}  // namespace tap
