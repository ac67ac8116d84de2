#pragma once
// The station's web pages, served by the library's CHTTPServer on 127.0.0.1
// behind its login page (the user and password of the settings):
//   ""              the status: counters, the latest snapshot, the objects
//                   of the latest analysis, the finished segments to
//                   download and the sensitivity form
//   "snapshot.jpg"  the latest snapshot
//   "segment"       ?name=segment-NNNNNN.avi: a finished segment of the
//                   output folder; any other name is refused
//   "sensitivity"   the form's target: applies the value to the running
//                   analysis and saves it in the INI
// Every page but the login page needs a completed login. The pages run on
// the server's worker threads, one at a time.
#include <zep3/zep3.h>

#include <memory>

class Station;

class WebServer {
public:
    explicit WebServer(Station& station);
    ~WebServer();

    // Listens on 127.0.0.1:port (0: any free port); false when it cannot.
    // The calling thread must run the message loop: connections are
    // accepted there.
    bool Start(int port);
    UINT Port() const { return m_Server.GetListeningPort(); }

private:
    struct Pages;

    Station& m_Station;
    std::unique_ptr<Pages> m_pPages; // declared before the server, which must go first
    CHTTPServer m_Server;
};
