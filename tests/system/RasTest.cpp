// Dial-up connections against the phonebook double (ZEP3_RAS_PHONEBOOK),
// and the real dialler's lists on a machine without a modem.
#include "support/TestSupport.h"

#include <zep3/system/detail/RasBackend.h>
#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const char* const kPhonebook = "[device]\nname=USB Modem\ntype=modem\n\n"
                               "[device]\nname=ISDN Line\ntype=isdn\n\n"
                               "[device]\nname=Internal Modem\ntype=modem\n\n"
                               "[entry Office]\nphone=0221234567\ndevice=USB Modem\ndevicetype=modem\n"
                               "country=48\npassword=secret\nfreeafter=3\n\n"
                               "[entry Busy]\nphone=0229999999\nresult=676\n";

std::vector<std::string> Names(const CStringArray& names) {
    std::vector<std::string> out;
    for (INT_PTR i = 0; i < names.GetSize(); ++i) out.push_back(std::string(names[i]));
    return out;
}

// What a progress callback received.
struct Progress {
    std::mutex lock;
    std::vector<int> states;
    std::vector<std::thread::id> threads;
    int tag = 0;

    static void Callback(HRASCONN, RASCONNSTATE state, void* context, int tag) {
        Progress* p = static_cast<Progress*>(context);
        std::lock_guard<std::mutex> hold(p->lock);
        p->states.push_back(int(state));
        p->threads.push_back(std::this_thread::get_id());
        p->tag = tag;
    }
    static constexpr int kNone = 1 << 20;
    int Last() {
        std::lock_guard<std::mutex> hold(lock);
        return states.empty() ? kNone : states.back();
    }
};

class RasDouble : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(zep3test::writeFile(Book(), kPhonebook));
        setenv("ZEP3_RAS_PHONEBOOK", Book().c_str(), 1);
    }
    void TearDown() override { unsetenv("ZEP3_RAS_PHONEBOOK"); }
    std::string Book() const { return m_dir.file("phonebook"); }
    // The line is free: the dialler no longer knows the connection.
    static bool Free(HRASCONN connection) {
        RASCONNSTATE state;
        DWORD error;
        return zep3::detail::CurrentRasBackend().Status(connection, &state, &error) == ERROR_INVALID_HANDLE;
    }

    zep3test::TempDir m_dir;
};

TEST_F(RasDouble, ListsEntriesAndOnlyTheModems) {
    CStringArray names;
    names.Add("stale");
    EXPECT_EQ(CRas::EnumEntries(names), 2);
    EXPECT_EQ(Names(names), (std::vector<std::string>{"Office", "Busy"}));
    EXPECT_EQ(CRas::EnumDevices(names), 2); // the ISDN line is left out
    EXPECT_EQ(Names(names), (std::vector<std::string>{"USB Modem", "Internal Modem"}));
    EXPECT_EQ(CRas::EnumConnections(names), 0);

    ASSERT_TRUE(zep3test::writeFile(Book(), "[device]\nname=ISDN Line\ntype=isdn\n"));
    names.Add("stale");
    EXPECT_EQ(CRas::EnumEntries(names), 0); // an empty phonebook
    EXPECT_EQ(names.GetSize(), 0);
    EXPECT_EQ(CRas::EnumDevices(names), 0);
}

TEST_F(RasDouble, AsyncDialReportsEachStateOnTheDiallersThreadAndHangUpWaitsForTheLine) {
    Progress progress;
    HRASCONN connection = CRas::AsyncDial("Office", "jan", "secret", Progress::Callback, &progress, 7);
    ASSERT_NE(connection, nullptr);
    ASSERT_TRUE(zep3test::waitFor([&] { return progress.Last() == RASCS_Connected; }));
    {
        std::lock_guard<std::mutex> hold(progress.lock);
        EXPECT_EQ(progress.states,
                  (std::vector<int>{RASCS_OpenPort, RASCS_PortOpened, RASCS_ConnectDevice,
                                    RASCS_DeviceConnected, RASCS_AllDevicesConnected, RASCS_Authenticate,
                                    RASCS_Authenticated, RASCS_Projected, RASCS_Connected}));
        EXPECT_NE(progress.threads[0], std::this_thread::get_id());
        EXPECT_EQ(progress.tag, 7);
    }
    CStringArray names;
    EXPECT_EQ(CRas::EnumConnections(names), 1);
    EXPECT_EQ(Names(names), std::vector<std::string>{"Office"});

    // The entry keeps the line for three more status polls after the hang-up.
    CRas::HangUp(connection);
    EXPECT_TRUE(Free(connection));
    EXPECT_EQ(CRas::EnumConnections(names), 0);
    CRas::HangUp(nullptr);

    connection = CRas::Dial("Office", "jan", "secret"); // the synchronous dial
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(CRas::EnumConnections(names), 1);
    CRas::HangUp(connection);
    EXPECT_TRUE(Free(connection));
}

TEST_F(RasDouble, FailuresReachTheCallbackAsNegatedErrors) {
    Progress busy;
    HRASCONN connection = CRas::AsyncDial("Busy", "", "", Progress::Callback, &busy, 1);
    ASSERT_NE(connection, nullptr);
    ASSERT_TRUE(zep3test::waitFor([&] { return busy.Last() < 0; }));
    EXPECT_EQ(busy.Last(), -ERROR_LINE_BUSY);
    CRas::HangUp(connection);
    EXPECT_TRUE(Free(connection));

    Progress refused;
    connection = CRas::AsyncDial("Office", "jan", "wrong", Progress::Callback, &refused, 2);
    ASSERT_TRUE(zep3test::waitFor([&] { return refused.Last() < 0; }));
    EXPECT_EQ(refused.Last(), -ERROR_AUTHENTICATION_FAILURE);
    CRas::HangUp(connection);

    // A dial that cannot start returns null and never calls back.
    Progress missing;
    EXPECT_EQ(CRas::AsyncDial("Nowhere", "", "", Progress::Callback, &missing, 3), nullptr);
    EXPECT_EQ(missing.Last(), Progress::kNone);

    // Synchronous dials that fail return null and leave no connection.
    EXPECT_EQ(CRas::Dial("Busy", "", ""), nullptr);
    EXPECT_EQ(CRas::Dial("Office", "jan", "wrong"), nullptr);
    CStringArray names;
    EXPECT_EQ(CRas::EnumConnections(names), 0);
}

TEST_F(RasDouble, EntriesAreReadWrittenRenamedAndRemovedInThePhonebookFile) {
    RASENTRY entry;
    int size = sizeof entry;
    ASSERT_TRUE(CRas::GetEntryProperties("Office", &entry, &size));
    EXPECT_EQ(entry.dwSize, 2884u);
    EXPECT_STREQ(entry.szLocalPhoneNumber, "0221234567");
    EXPECT_STREQ(entry.szDeviceName, "USB Modem");
    EXPECT_EQ(entry.dwCountryID, 48u);
    EXPECT_FALSE(CRas::GetEntryProperties("Nowhere", &entry, &size));

    // An existing name to create, a missing one to change, an old record size, no name.
    const std::string before = zep3test::readFile(Book());
    const DWORD full = sizeof entry;
    const struct {
        const char* name;
        bool create;
        DWORD size;
    } refusals[] = {{"Office", true, full}, {"Branch", false, full}, {"Branch", true, 2088}, {"", true, full}};
    for (const auto& r : refusals) {
        entry.dwSize = r.size;
        EXPECT_FALSE(CRas::SetEntryProperties(r.name, &entry, r.create)) << r.name;
    }
    EXPECT_EQ(zep3test::readFile(Book()), before);
    entry.dwSize = sizeof entry;

    strcpy(entry.szLocalPhoneNumber, "0587654321");
    ASSERT_TRUE(CRas::SetEntryProperties("Branch", &entry, true));
    EXPECT_NE(zep3test::readFile(Book()).find("[entry Branch]\nphone=0587654321\n"), std::string::npos);
    ASSERT_TRUE(CRas::GetEntryProperties("Branch", &entry, &size));
    EXPECT_STREQ(entry.szLocalPhoneNumber, "0587654321");

    EXPECT_FALSE(CRas::RenameEntry("Branch", "Office"));
    EXPECT_TRUE(CRas::RenameEntry("Branch", "Annex"));
    EXPECT_TRUE(CRas::RemoveEntry("Annex"));
    EXPECT_FALSE(CRas::RemoveEntry("Annex"));
    CStringArray names;
    EXPECT_EQ(CRas::EnumEntries(names), 2);
    EXPECT_FALSE(CRas::EditEntryDlg("Office", nullptr));
    EXPECT_FALSE(CRas::CreateEntryDlg(nullptr));
}

TEST(Ras, ErrorTexts) {
    EXPECT_EQ(CRas::GetErrorString(ERROR_NO_ANSWER), "The remote computer did not answer.");
    EXPECT_EQ(CRas::GetErrorString(ERROR_AUTHENTICATION_FAILURE), "The user name or password is not valid.");
    for (unsigned code : {0u, 2u, 599u, 9999u}) EXPECT_EQ(CRas::GetErrorString(code), "nieznany") << code;
    for (unsigned code = 600; code < 800; ++code) EXPECT_LE(CRas::GetErrorString(code).GetLength(), 1023);
}

// The dialler of this machine: pppd's peers, the modems sysfs shows.
TEST(Ras, TheMachinesListsWithoutAModem) {
    unsetenv("ZEP3_RAS_PHONEBOOK");
    std::string out;
    zep3test::runCommand("ls /etc/ppp/peers 2>/dev/null | grep -vc '~$'", &out);
    CStringArray names;
    EXPECT_EQ(CRas::EnumEntries(names), atoi(out.c_str()));
    zep3test::runCommand("for d in /sys/class/tty/*/device/driver; do readlink $d; done 2>/dev/null | "
                         "grep -cE '/(cdc_acm|option|qcserial|sierra|hso)$'",
                         &out);
    const int modems = atoi(out.c_str());
    EXPECT_EQ(CRas::EnumDevices(names), modems);
    if (modems == 0) std::cout << "[ note ] no modem on this machine: the device list is empty\n";
    EXPECT_EQ(CRas::EnumConnections(names), 0);
    EXPECT_EQ(CRas::Dial("zep3 no such entry", "", ""), nullptr);
    EXPECT_EQ(CRas::AsyncDial("zep3 no such entry", "", "", nullptr, nullptr, 0), nullptr);
}

} // namespace
