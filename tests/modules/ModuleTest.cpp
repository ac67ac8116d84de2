// The module base without mouse windows: the nearest tracker, features,
// settings files (round trip and damage) and the host's panels.
#include "TestModule.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

namespace {

std::vector<CPoint> Handles(const CHandleTracker& t) {
    std::vector<CPoint> v;
    for (int i = 0; i < t.GetHandleCount(); ++i) v.push_back(t.GetHandle(i));
    return v;
}

template <class T>
void Put(CIniFile* view, const char* key, T value) {
    ExchangeObject(view, 1, key, &value);
}

std::string FeatureStates(CModule& m) {
    std::string s;
    for (const CFeature& f : *m.GetFeatureArray()) s += std::string(f.m_Name) + "=" + std::to_string(f.m_nState) + ";";
    return s;
}

// Replaces `from` in the file and drops its backups, so that the edited
// file is read as it stands.
void EditFile(const zep3test::TempDir& dir, const std::string& path, const std::string& from, const std::string& to) {
    std::string text = zep3test::readFile(path);
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    ASSERT_TRUE(zep3test::writeFile(path, text));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path() != path) std::filesystem::remove(entry.path());
}

} // namespace

TEST(Module, NearestTrackerAndFeatures) {
    TestModule m;
    EXPECT_EQ(m.GetNearestTracker({190, 60}, 0), 1) << "inside the gate";
    EXPECT_EQ(m.GetNearestTracker({190, 60}, 1), 4) << "the other view's rectangle";
    EXPECT_EQ(m.GetNearestTracker({390, 290}, 0), -1);
    m.gate.SetRect(CRect(110, 20, 240, 100));
    EXPECT_EQ(m.GetNearestTracker({120, 22}, 0), 0) << "the zone's corner square (distance 1) beats the gate (2)";
    m.zone.EnableTracker(false);
    EXPECT_EQ(m.GetNearestTracker({120, 22}, 0), 1) << "disabled trackers do not count";
    m.gate.SetRect(CRect(0, 0, 30000, 30000));
    EXPECT_EQ(m.GetNearestTracker({15000, 15000}, 0), -1) << "10000 and more is too far";
    EXPECT_TRUE(m.SelectTrackerHandle({9999, 15000}, false, 0));
    EXPECT_EQ(m.GetSelectedTracker(), 1);
    EXPECT_TRUE(m.SelectTrackerHandle({50000, 0}, false, 0)) << "nothing near: all deselected";
    EXPECT_EQ(m.GetSelectedTracker(), -1);

    EXPECT_EQ(FeatureStates(m), "Count=1;=0;Alarm=2;");
    EXPECT_TRUE(m.IsFeature(0));
    EXPECT_FALSE(m.IsFeature(2) || m.IsFeature(7) || m.IsFeature(-1));
    m.SetFeature(7, 1);
    m.AddFeature(-1, "Bad", 1);
    m.AddFeature(1, "Night", 0);
    EXPECT_EQ(FeatureStates(m), "Count=1;Night=0;Alarm=2;");
}

TEST(Module, SettingsFileRoundTrip) {
    zep3test::TempDir dir;
    const std::string path = dir.file("station.ini");
    TestModule a, b;
    CIniFile written(path.c_str(), false), writtenView(&written, "Modules\\Test");
    Put(&writtenView, "Alarm", true);
    a.Exchange(&writtenView, 0);
    EXPECT_EQ(FeatureStates(a), "Count=1;=0;Alarm=1;") << "taken from the file";
    TestModule::Move(a.gate, CPoint(150, 30), CPoint(10, 200));
    TestModule::Move(a.zone, CPoint(60, 70), CPoint(80, 90));
    a.zone.SetColor(0x123456, 1);
    a.lane.SetPosition(3, CPoint(390, 170));
    EXPECT_TRUE(a.Exchange(&writtenView, 1));
    ASSERT_TRUE(written.WriteIniFile(false));
    const std::string text = zep3test::readFile(path);
    for (const char* key : {"Gate\\Handles\\[0]\\Y=190", "Tracker(2)\\Handles\\[1]\\Y=60", "Lane\\Handles\\[3]\\X=390",
                            "Zone\\HandleCount=4", "Zone\\Color=1193046", "Zone\\ColorHigh=65280", "Zone\\Size=6",
                            "Zone\\NameFont=Arial,-15,0,400,0,0,0,238,0,0,0,0,0,0", "Zone\\NameColor=65280",
                            "Zone\\Handles\\[2]\\X=80", "Tracker(4)\\ViewIndex=1", "Floor\\Name=Floor", "Alarm=1"})
        EXPECT_NE(text.find("Modules\\Test\\" + std::string(key) + "\r\n"), std::string::npos) << key << " in\n" << text;
    EXPECT_EQ(text.find("\\Test\\Count="), std::string::npos) << "features with a fixed state are not stored";

    CIniFile ini(path.c_str(), true), view(&ini, "Modules\\Test");
    EXPECT_TRUE(b.Exchange(&view, 0));
    for (int i = 0; i < a.GetTrackerCount(); ++i) {
        EXPECT_EQ(Handles(*a.GetTracker(i)), Handles(*b.GetTracker(i))) << "tracker " << i;
        EXPECT_EQ(a.GetTracker(i)->GetName(), b.GetTracker(i)->GetName());
        EXPECT_EQ(a.GetTracker(i)->GetViewIndex(), b.GetTracker(i)->GetViewIndex());
    }
    EXPECT_EQ(FeatureStates(a), FeatureStates(b));
    EXPECT_EQ(b.lane.GetBoundRect(), a.lane.GetBoundRect());
    EXPECT_TRUE(b.zone.GetRLC().IsSameRLC(a.zone.GetRLC())) << "the region rebuilt from the handles read";

    // A feature left to the configuration without an item becomes off, and
    // its key is there afterwards.
    b.AddFeature(3, "Snapshot", 5);
    b.Exchange(&view, 0);
    bool snapshot = true;
    EXPECT_TRUE(ExchangeObject(&view, 0, "Snapshot", &snapshot));
    EXPECT_FALSE(snapshot || b.IsFeature(3));
    EXPECT_FALSE(b.Exchange(nullptr, 0));
}

TEST(Module, DamagedSettingsLoadWhatIsValid) {
    zep3test::TempDir dir;
    const std::string path = dir.file("station.ini");
    TestModule a, b, c;
    CIniFile written(path.c_str(), false), writtenView(&written, "M");
    a.Exchange(&writtenView, 1);
    // A count no polygon has, a colour beyond 24 bits, a font height no
    // name needs, a negative handle size, a coordinate beyond any picture.
    CIniFile badZone(&writtenView, "Zone"), corner(&writtenView, "Gate\\Handles\\[2]");
    Put(&badZone, "HandleCount", 1000000);
    Put(&badZone, "ColorHigh", 0x01000000u);
    LOGFONT huge{};
    huge.lfHeight = -400000;
    Put(&badZone, "NameFont", huge);
    Put(&badZone, "Size", -3);
    Put(&corner, "X", 2000000000);
    ASSERT_TRUE(written.WriteIniFile(false));
    EditFile(dir, path, "M\\Tracker(2)\\Name=\r\n", "");          // missing
    EditFile(dir, path, "M\\Floor\\ColorHigh=65280\r\n", "");     // missing
    EditFile(dir, path, "M\\Lane\\Handles\\[1]\\X=250", "M\\Lane\\Handles\\[1]\\X=270"); // off its pair
    EditFile(dir, path, "M\\Tracker(4)\\Handles\\[0]\\X=10", "M\\Tracker(4)\\Handles\\[0]\\X=x"); // unreadable

    CIniFile ini(path.c_str(), true), view(&ini, "M");
    TestModule::Move(b.gate, CPoint(240, 100), CPoint(300, 150));
    EXPECT_TRUE(b.Exchange(&view, 0)) << "the module reports true whatever its trackers say";
    EXPECT_EQ(Handles(b.zone), Handles(a.zone)) << "count kept, handles read";
    EXPECT_TRUE(b.zone.GetRLC().IsSameRLC(a.zone.GetRLC()));
    EXPECT_EQ(b.gate.GetRect(), CRect(140, 20, 300, 150)) << "the damaged corner kept its place";
    EXPECT_EQ(b.lane.GetHandle(1), CPoint(260, 160)) << "the side pair shifted back around the centre";
    EXPECT_EQ(b.lane.GetHandle(3), CPoint(340, 160));
    EXPECT_EQ(b.far.GetHandle(0), CPoint(0, 10)) << "unreadable text reads as 0";

    // Each tracker reports its own damage.
    CIniFile zone(&view, "Zone"), gate(&view, "Gate"), line(&view, "Tracker(2)"), floor(&view, "Floor");
    EXPECT_FALSE(c.zone.Exchange(&zone, 0));
    EXPECT_FALSE(c.gate.Exchange(&gate, 0));
    EXPECT_FALSE(c.line.Exchange(&line, 0));
    EXPECT_FALSE(c.floor.Exchange(&floor, 0));
    EXPECT_FALSE(c.lane.Exchange(&view, 0)) << "no handles in the module's own view";
}

TEST(Module, PanelsFromAHostOnAnotherThread) {
    struct Panel : public CWnd {
        std::vector<std::pair<HWND, LPARAM>> got;
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
            if (message == WM_USER + 33) got.emplace_back(reinterpret_cast<HWND>(wParam), lParam);
            return CWnd::WindowProc(message, wParam, lParam);
        }
    };
    struct Host : public CWnd {
        bool refuse = false;
        Panel panel;
        CString title;
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
            if (message != WM_USER + 2) return CWnd::WindowProc(message, wParam, lParam);
            title = reinterpret_cast<const char*>(wParam);
            if (!refuse && !panel.m_hWnd) panel.Create(nullptr, "panel", WS_VISIBLE, CRect(0, 0, 200, 150), this, 7);
            *reinterpret_cast<HWND*>(lParam) = refuse ? nullptr : panel.m_hWnd;
            return 0;
        }
    } host;
    std::atomic<HWND> hostWnd{nullptr};
    std::atomic<bool> done{false};
    std::thread hostThread([&] {
        host.CreateEx(0, nullptr, "host", WS_VISIBLE, CRect(0, 0, 400, 300), nullptr, 0);
        hostWnd = host.m_hWnd;
        PumpMessagesUntil([&] { return done.load(); }, 20000);
        host.DestroyWindow();
    });
    ASSERT_TRUE(PumpMessagesUntil([&] { return hostWnd.load() != nullptr; }, 5000));

    TestModule m;
    CDialog dialog;
    EXPECT_EQ(m.CreateCustomPanel(hostWnd, "Strefy", nullptr, 5, true), nullptr) << "no dialog";
    EXPECT_EQ(m.CreateCustomPanel(nullptr, "Strefy", &dialog, 5, true), nullptr) << "no host";
    CWnd plain;
    const HWND panel = m.CreateCustomPanel(hostWnd, "Strefy", &plain, CModule::kNoTemplate, false);
    ASSERT_EQ(panel, host.panel.m_hWnd);
    EXPECT_EQ(host.title, CString("Strefy"));
    EXPECT_TRUE(!plain.m_hWnd && host.panel.got.empty()) << "no template, no window: nothing handed over";

    EXPECT_EQ(m.CreateCustomPanel(hostWnd, "Strefy", &dialog, 321, true), panel);
    ASSERT_NE(dialog.m_hWnd, nullptr) << "created from the template on the panel";
    EXPECT_EQ(::GetParent(dialog.m_hWnd), panel);
    EXPECT_EQ(dialog.GetTemplateID(), 321u);
    ASSERT_EQ(host.panel.got.size(), 1u);
    EXPECT_EQ(host.panel.got[0], std::make_pair(dialog.m_hWnd, LPARAM(1)));
    dialog.DestroyWindow();

    host.refuse = true;
    CDialog refused;
    EXPECT_EQ(m.CreateCustomPanel(hostWnd, "Strefy", &refused, 9, true), nullptr);
    EXPECT_EQ(refused.m_hWnd, nullptr);
    done = true;
    hostThread.join();
}
