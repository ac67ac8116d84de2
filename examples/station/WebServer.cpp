#include "WebServer.h"

#include "Station.h"

#include <climits>
#include <filesystem>
#include <fstream>

namespace {

const char* const kStyle = "<style>body { font-family: Arial; font-size: 13px; margin: 20px; } "
                           "td, th { padding: 2px 10px; text-align: right; } h2 { font-size: 15px; }</style>";

// A whole page around `body`, with the page's title and style.
CMemory Html(CHTMLPage& page, const CString& body) {
    return CMemory("<html>" + page.GenerateHTMLPageHeader(kStyle) + "<body><h1>" + page.m_PageTitle +
                   "</h1>" + body +
                   "<p><a href='/'>Status</a> &middot; <a href='logout'>Log out</a></p></body></html>");
}

CString Row(const char* name, const CString& value) {
    return CString("<tr><th>") + name + "</th><td>" + value + "</td></tr>";
}

CString Number(uint64_t value) { return std::to_string(value).c_str(); }

// The whole file; false when it cannot be read.
bool ReadFile(const std::string& path, CMemory& out) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? std::streamoff(in.tellg()) : -1;
    if (size < 0 || size > INT_MAX || !out.Create(int(size), nullptr)) return false;
    in.seekg(0);
    return size == 0 || static_cast<bool>(in.read(reinterpret_cast<char*>(out.GetData()), size));
}

class StatusPage : public CHTMLPage {
public:
    explicit StatusPage(const Station& station) : m_Station(station) {
        m_PageName = ""; // where the login leads
        m_PageTitle = "ZEP3 station";
        Protect(true);
        m_Sensitivity.Create("sensitivity", "", "id='sensitivity' size='4'");
    }

    CMemory GenerateContent(CString&) override {
        const StationStatus s = m_Station.Status();
        const auto segments = SegmentRecorder::ListSegments(m_Station.Folder(), false);
        m_Sensitivity.SetValue(Number(s.sensitivity));
        const CString counters =
            Row("Frames grabbed", Number(s.grabbed)) + Row("Frames recorded", Number(s.recorded)) +
            Row("Frames missed", Number(s.missed)) + Row("Frames not recorded", Number(s.notRecorded)) +
            Row("Snapshots", Number(s.snapshots)) + Row("Segments", Number(segments.size())) +
            Row("Writing", s.segment.empty() ? "paused" : s.segment.c_str());
        const CString form = "<h2>Analysis</h2><form id='sensitivityForm' action='sensitivity' method='post'>"
                             "Sensitivity (1 to 100): " +
                             m_Sensitivity.HTML() +
                             " <input type='submit' id='apply' value='Apply and save'></form>";
        return Html(*this, "<table id='counters'>" + counters + "</table>" + Latest(s) + Objects(s) +
                               Segments(segments) + form);
    }

private:
    static CString Latest(const StationStatus& s) {
        if (s.snapshots == 0) return "<h2>Latest snapshot</h2><p id='noSnapshot'>No snapshot yet.</p>";
        // The count in the address makes the browser fetch each new snapshot.
        return "<h2>Latest snapshot</h2><img id='snapshot' src='snapshot.jpg?n=" + Number(s.snapshots) + "'>";
    }

    static CString Objects(const StationStatus& s) {
        CString html =
            "<h2>Objects in the zone</h2><table id='objects'><tr><th>#</th><th>Left</th><th>Top</th>"
            "<th>Right</th><th>Bottom</th><th>Pixels</th></tr>";
        for (size_t i = 0; i < s.objects.size(); ++i) {
            const FoundObject& o = s.objects[i];
            html.AppendFormat(
                "<tr><td>%zu</td><td>%ld</td><td>%ld</td><td>%ld</td><td>%ld</td><td>%d</td></tr>", i + 1,
                long(o.box.left), long(o.box.top), long(o.box.right), long(o.box.bottom), o.mass);
        }
        return html + "</table>";
    }

    CString Segments(const std::vector<std::string>& names) const {
        CString html = "<h2>Recording</h2><ul id='segments'>";
        for (const std::string& name : names) {
            std::error_code ec;
            const auto size = std::filesystem::file_size(m_Station.Folder() + "/" + name, ec);
            html.AppendFormat("<li><a href='segment?name=%s'>%s</a> (%llu KiB)</li>", name.c_str(),
                              name.c_str(), ec ? 0ULL : static_cast<unsigned long long>(size / 1024));
        }
        return html + "</ul>";
    }

    const Station& m_Station;
    CHTMLInputText m_Sensitivity;
};

class SnapshotPage : public CHTMLPage {
public:
    explicit SnapshotPage(const Station& station) : m_Station(station) {
        m_PageName = "snapshot.jpg";
        m_PageTitle = "Snapshot";
        Protect(true);
    }

    CMemory GenerateContent(CString& header) override {
        Snapshot shot;
        if (!m_Station.LatestSnapshot(shot)) return Html(*this, "<p>No snapshot yet.</p>");
        header += "Content-Type: image/jpeg\r\n";
        return CMemory(int(shot.jpeg.size()), shot.jpeg.data());
    }

private:
    const Station& m_Station;
};

class SegmentPage : public CHTMLPage {
public:
    explicit SegmentPage(const Station& station) : m_Station(station) {
        m_PageName = "segment";
        m_PageTitle = "Segment";
        Protect(true);
        m_Name.Create("name", "", "");
        AddInputElement(&m_Name);
    }

    CMemory GenerateContent(CString& header) override {
        const std::string name = static_cast<const char*>(m_Name.GetValue());
        m_Name.SetValue(""); // a later request without a name gets nothing
        // Only a bare segment name: no folder, nothing unfinished, nothing else.
        CMemory file;
        if (!SegmentRecorder::IsFinishedSegment(name) || !ReadFile(m_Station.Folder() + "/" + name, file))
            return Html(*this, "<p id='refused'>Refused: only a finished segment of this station can be "
                               "downloaded.</p>");
        header += "Content-Type: video/x-msvideo\r\nContent-Disposition: attachment; filename=\"" +
                  CString(name.c_str()) + "\"\r\n";
        return file;
    }

private:
    const Station& m_Station;
    CHTMLInputHidden m_Name;
};

class SensitivityPage : public CHTMLPage {
public:
    explicit SensitivityPage(Station& station) : m_Station(station) {
        m_PageName = "sensitivity";
        m_PageTitle = "Sensitivity";
        Protect(true);
        m_Value.Create("sensitivity", "", "");
        AddInputElement(&m_Value);
    }

    CMemory GenerateContent(CString&) override {
        const CString text = m_Value.GetValue();
        m_Value.SetValue(""); // a later request without the field changes nothing
        int value = 0;
        CString result;
        if (!ParseWholeNumber(text, 1, 100, value))
            result = "The sensitivity must be a whole number from 1 to 100; nothing changed.";
        else if (m_Station.SetSensitivity(value))
            result.Format("Sensitivity %d applied to the analysis and saved in zep3-station.ini.", value);
        else
            result.Format(
                "Sensitivity %d applied to the analysis, but zep3-station.ini could not be written.", value);
        return Html(*this, "<p id='result'>" + result + "</p>");
    }

private:
    Station& m_Station;
    CHTMLInputText m_Value;
};

} // namespace

struct WebServer::Pages {
    explicit Pages(Station& station)
        : status(station), snapshot(station), segment(station), sensitivity(station) {}
    StatusPage status;
    SnapshotPage snapshot;
    SegmentPage segment;
    SensitivityPage sensitivity;
};

WebServer::WebServer(Station& station) : m_Station(station), m_pPages(std::make_unique<Pages>(station)) {}

WebServer::~WebServer() = default;

bool WebServer::Start(int port) {
    m_Server.SetIP("127.0.0.1");
    m_Server.SetPort(port);
    m_Server.AddUser(m_Station.Settings().user, m_Station.Settings().password, 1);
    for (CHTMLPage* page :
         {static_cast<CHTMLPage*>(&m_pPages->status), static_cast<CHTMLPage*>(&m_pPages->snapshot),
          static_cast<CHTMLPage*>(&m_pPages->segment), static_cast<CHTMLPage*>(&m_pPages->sensitivity)})
        m_Server.GetHTMLPageManager()->AddHTMLPage(page);
    return m_Server.EnableServer(true);
}
