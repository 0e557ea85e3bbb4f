#pragma once

#include <memory>

namespace platform {

// SIGTERM, SIGINT and SIGHUP (logging out of a desktop session, Control-C, a
// closed terminal) end the app through its normal termination,
// Application::terminate(): the delegate saves as it does for Quit, and the
// process exits with status 0.
//
// The handler only writes one byte to a pipe (the one thing it may safely
// do); the main loop reads it and terminates. Later signals are read and do
// nothing more: a session often sends SIGHUP right after SIGTERM, and that
// must not cut the save short. Signals that come before the main loop runs
// wait in the pipe until it does.
class TerminationSignals {
public:
    // Takes the three signals over for the rest of the process, before the
    // application object exists: a signal while the process starts waits in
    // the pipe, and one that comes after the main loop ended, while the
    // application object and the static objects go, is absorbed, so the exit
    // status stays the app's. False when the pipe cannot be made (the
    // signals keep their default action; the object below tries again).
    static bool takeOverForTheProcess();

    // Ends the app through the main loop on the signals; needs the
    // application object. One at a time per process. Unless they are taken
    // over for the process already, it takes them over for its own lifetime.
    // When the pipe cannot be made, the signals keep their default action and
    // a system-log line says why.
    TerminationSignals();
    // Stops reading the pipe. Gives the signals back their earlier handlers,
    // unless they are taken over for the process.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Whether the signals are taken over.
    bool isInstalled() const;
    // A signal came since they were taken over: blocking waits (for another
    // copy, for a socket) give up at once, so the termination is not held up.
    static bool received();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace platform
