// The packet stream over real loopback connections, checked against the wire
// table by the test's own parser and builder: headers and sequence numbers,
// reassembly from many receive events, bad headers, the send queue, the stall
// timer, many clients on one server, and a transfer between processes.
#include "NetTestSupport.h"
#include "support/TestSupport.h"

#include <dirent.h>
#include <sys/wait.h>

using namespace nettest;

namespace {

// One of ours, connected to a plain peer.
template <class Socket> struct Connected {
    RawListener listener;
    PacketSink<Socket> ours;
    int peer = -1;
    Connected() {
        EXPECT_TRUE(ours.Create());
        ours.Connect("127.0.0.1", listener.port()); // the async one completes in the loop
        peer = listener.Accept();
        EXPECT_GE(peer, 0);
        PumpPasses();
    }
    ~Connected() {
        if (peer >= 0) close(peer);
    }
    // Reads one packet from the peer's side: header and body.
    bool ReadPacket(WireHeader& header, std::string& body) {
        char bytes[32];
        if (!RawRead(peer, bytes, 32)) return false;
        header = ParseHeader(bytes);
        body = RawRead(peer, size_t(std::max(0, header.length)));
        return int(body.size()) == std::max(0, header.length);
    }
};

template <class Socket> class PacketClients : public ::testing::Test {};
typedef ::testing::Types<CClientSocket, CClientASocket> ClientTypes;
TYPED_TEST_SUITE(PacketClients, ClientTypes);

int OpenDescriptors() {
    DIR* dir = opendir("/proc/self/fd");
    int count = 0;
    while (readdir(dir)) ++count;
    closedir(dir);
    return count;
}

void ExpectHeader(const WireHeader& h, int32_t length, uint32_t sequence, int32_t param) {
    EXPECT_EQ(h.length, length);
    EXPECT_EQ(h.sequence, sequence);
    EXPECT_EQ(h.param, param);
    EXPECT_EQ(h.version, kVersionField);
    EXPECT_EQ(h.checksum, h.sum);
}

} // namespace

TYPED_TEST(PacketClients, HeadersOnTheWireCarryTheTableLayoutAndARunningSequence) {
    Connected<TypeParam> c;
    const std::string big = Pattern(1000, 1);
    EXPECT_TRUE(c.ours.SendPacket((void*)"hello", 5, 77));
    EXPECT_TRUE(c.ours.SendPacket((void*)big.data(), 1000, -5));
    EXPECT_TRUE(c.ours.SendPacket((void*)"x", 0, 3)) << "a header alone";
    WireHeader h;
    std::string body;
    ASSERT_TRUE(c.ReadPacket(h, body));
    ExpectHeader(h, 5, 1, 77);
    EXPECT_EQ(body, "hello");
    ASSERT_TRUE(c.ReadPacket(h, body));
    ExpectHeader(h, 1000, 2, -5);
    EXPECT_EQ(body, big);
    ASSERT_TRUE(c.ReadPacket(h, body));
    ExpectHeader(h, 0, 3, 3);
}

TYPED_TEST(PacketClients, PacketSplitIntoSingleBytesIsReassembledWithOneProgressPerEvent) {
    Connected<TypeParam> c;
    ProgressWnd wnd;
    ASSERT_TRUE(wnd.Create());
    c.ours.m_hNotifyWnd = wnd.m_hWnd;
    const std::string body = Pattern(40, 4);
    const std::string wire = Packet(body, 7, 1234);
    for (size_t i = 0; i < wire.size(); ++i) {
        ASSERT_TRUE(RawWrite(c.peer, wire.substr(i, 1)));
        ASSERT_TRUE(PumpUntil([&] { return wnd.progress.size() == i + 1; })) << "byte " << i;
    }
    std::vector<std::pair<WPARAM, LPARAM>> expected(31, {0, 0});
    for (int n = 0; n <= 40; ++n) expected.emplace_back(n, 40);
    EXPECT_EQ(wnd.progress, expected);
    ASSERT_EQ(c.ours.packets.size(), 1u);
    EXPECT_EQ(c.ours.packets[0].body, body);
    EXPECT_EQ(c.ours.packets[0].param, 1234);
    EXPECT_EQ(c.ours.packets[0].sequence, 7u);
    EXPECT_EQ(c.ours.m_nPackets, 1);
    EXPECT_EQ(c.ours.m_pData, nullptr);
    EXPECT_TRUE(c.ours.m_bHeader);
    wnd.DestroyWindow();
}

TYPED_TEST(PacketClients, BadHeadersAreConsumedSilentlyAndTheNextGoodOneIsTaken) {
    Connected<TypeParam> c;
    c.ours.SetMaxPacketLength(1000);
    ProgressWnd wnd;
    ASSERT_TRUE(wnd.Create());
    c.ours.m_hNotifyWnd = wnd.m_hWnd;
    const std::string badVersion("Packet 1.0.3\0\0\0\0", 16);
    const std::vector<std::string> bad = {
        Header(5, 1, 0, kVersionField, 1),   // checksum
        Header(0, 1, 0),                     // length 0
        Header(5, 0, 0),                     // sequence 0
        Header(5, 1, 0, badVersion),         // version
        Header(-5, 1, 0),                    // negative length
        Header(0x7FFFFFFF, 1, 0),            // 2 GiB: never allocated
        Header(1001, 1, 0),                  // above the cap set here
    };
    std::string stream;
    for (size_t i = 0; i < bad.size(); ++i) stream += bad[i] + Packet(Pattern(10 + i, unsigned(i)), uint32_t(i + 1), int(i));
    ASSERT_TRUE(RawWrite(c.peer, stream));
    ASSERT_TRUE(PumpUntil([&] { return c.ours.packets.size() == bad.size(); }));
    for (size_t i = 0; i < bad.size(); ++i) {
        EXPECT_EQ(c.ours.packets[i].param, int(i));
        EXPECT_EQ(c.ours.packets[i].body, Pattern(10 + i, unsigned(i)));
    }
    EXPECT_EQ(c.ours.m_pData, nullptr);
    for (const auto& p : wnd.progress) EXPECT_TRUE(p.second == 0 || (p.second >= 10 && p.second < 10 + LPARAM(bad.size())));
    wnd.DestroyWindow();
}

TEST(PacketQueue, BytesKeepTheirOrderUnderAPeerThatStopsReading) {
    Connected<CClientASocket> c;
    // Fill the connection until the queue takes over, then keep sending.
    uint32_t sent = 0;
    auto send = [&](size_t size) {
        ++sent;
        const std::string body = Pattern(size, sent);
        EXPECT_TRUE(c.ours.SendPacket((void*)body.data(), int(size), int(sent)));
    };
    while (c.ours.m_SendQueue.IsEmpty() && sent < 10000) send(65536);
    ASSERT_FALSE(c.ours.m_SendQueue.IsEmpty());
    for (int i = 0; i < 50; ++i) send(size_t(1 + i * 1000));
    ++sent; // a packet in two pieces, queued behind the rest
    const std::string piece1 = Pattern(100, sent), piece2 = Pattern(200, sent + 1000);
    EXPECT_TRUE(c.ours.SendPacketEx((void*)piece1.data(), 100, 300, int(sent)));
    EXPECT_TRUE(c.ours.SendPacketEx((void*)piece2.data(), 200, 0, int(sent)));

    std::atomic<bool> done{false};
    std::vector<WireHeader> headers;
    std::vector<bool> bodiesOk;
    std::thread reader([&] {
        for (uint32_t i = 1; i <= sent; ++i) {
            WireHeader h;
            std::string body;
            if (!c.ReadPacket(h, body)) break;
            headers.push_back(h);
            bodiesOk.push_back(i == sent ? body == piece1 + piece2 : body == Pattern(body.size(), i));
        }
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done && c.ours.m_SendQueue.IsEmpty(); }, 60000));
    reader.join();
    ASSERT_EQ(headers.size(), size_t(sent));
    for (uint32_t i = 0; i < sent; ++i) {
        EXPECT_EQ(headers[i].sequence, i + 1);
        EXPECT_EQ(headers[i].param, int32_t(i + 1));
        EXPECT_EQ(headers[i].checksum, headers[i].sum);
        EXPECT_TRUE(bodiesOk[i]) << "packet " << i + 1;
    }
}

TEST(PacketTimer, RunsOnlyWhileAPacketIsIncompleteAndReadsFromAnyThread) {
    RawListener listener;
    LoopThread receiving;
    PacketSink<CClientASocket> ours;
    receiving.Call([&] {
        ASSERT_TRUE(ours.Create());
        ours.Connect("127.0.0.1", listener.port());
    });
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    EXPECT_EQ(ours.GetLastPacketTimer(), 0);
    const std::string wire = Packet("body", 1, 0);
    ASSERT_TRUE(RawWrite(peer, wire.substr(0, 20)));
    EXPECT_TRUE(zep3test::waitFor([&] { return ours.GetLastPacketTimer() >= 2; }))
        << "grows while the header is incomplete";
    ASSERT_TRUE(RawWrite(peer, wire.substr(20)));
    ASSERT_TRUE(receiving.WaitFor([&] { return ours.packets.size() == 1; }));
    EXPECT_EQ(ours.GetLastPacketTimer(), 0);
    receiving.Call([&] { ours.Close(); });
    close(peer);
}

// Fifty clients; the server's accepted clients leave its list as they close
// (half of them by a reset), their sockets closed, the others' indices kept.
TEST(PacketServer, FiftyClientsEachGetTheirOwnPacketAndTheServerLetsClosedOnesGo) {
    const int kClients = 50;
    LoopThread serving;
    CServerSocket server;
    CString address;
    UINT port = 0;
    serving.Call([&] {
        ASSERT_TRUE(server.Create(0, SOCK_STREAM, "127.0.0.1") && server.Listen(64) && server.GetSockName(address, port));
    });
    PumpPasses(); // this thread's loop is set up before the descriptors are counted
    const int baseline = OpenDescriptors();
    std::vector<std::unique_ptr<PacketSink<CClientSocket>>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back(new PacketSink<CClientSocket>);
        ASSERT_TRUE(clients.back()->Create() && clients.back()->Connect("127.0.0.1", port));
    }
    ASSERT_TRUE(serving.WaitFor([&] { return server.m_Clients.GetSize() == kClients; }));

    // Each client's packet names its port; the server sends it back by index.
    serving.Call([&] {
        for (int i = 0; i < kClients; ++i) {
            CString peer;
            UINT peerPort = 0;
            EXPECT_TRUE(server.m_Clients[i]->GetPeerName(peer, peerPort));
            const std::string body = "to " + std::to_string(peerPort);
            EXPECT_TRUE(server.SendPacketToClient(i, (void*)body.data(), int(body.size())));
        }
        EXPECT_FALSE(server.SendPacketToClient(kClients, (void*)"x", 1));
    });
    for (auto& client : clients) EXPECT_TRUE(client->SendPacket((void*)"up", 2, 5));
    for (auto& client : clients) {
        ASSERT_TRUE(PumpUntil([&] { return client->packets.size() == 1; }));
        CString self;
        UINT own = 0;
        client->GetSockName(self, own);
        EXPECT_EQ(client->packets[0].body, "to " + std::to_string(own));
    }
    // The accepted plain clients assemble and drop theirs, announcing each
    // chunk (header, body) to the server thread's own queue.
    ASSERT_TRUE(serving.WaitFor([&] {
        int packets = 0;
        for (int i = 0; i < kClients; ++i) packets += server.m_Clients[i]->m_nPackets;
        return packets == kClients && serving.threadProgress >= 2 * kClients;
    }));

    // All but the first go; entries are emptied, never removed.
    const linger reset = {1, 0};
    for (int i = 1; i < kClients; i += 2)
        setsockopt(int(clients[size_t(i)]->m_hSocket), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    clients.erase(clients.begin() + 1, clients.end());
    EXPECT_TRUE(serving.WaitFor([&] {
        for (int i = 1; i < kClients; ++i)
            if (server.m_Clients[i]) return false;
        return true;
    }));
    serving.Call([&] {
        EXPECT_EQ(server.m_Clients.GetSize(), kClients);
        EXPECT_FALSE(server.SendPacketToClient(1, (void*)"x", 1)) << "a closed client's index";
        EXPECT_TRUE(server.SendPacketToClient(0, (void*)"still here", 10));
    });
    ASSERT_TRUE(PumpUntil([&] { return clients[0]->packets.size() == 2; }));
    EXPECT_EQ(clients[0]->packets[1].body, "still here");
    clients.clear();
    EXPECT_TRUE(serving.WaitFor([&] { return !server.m_Clients[0]; }));
    EXPECT_EQ(OpenDescriptors(), baseline) << "the closed clients' sockets are closed";
    serving.Call([&] { server.Close(); });
}

namespace {

// The child's side of the transfer: a thread of its own (the forked
// thread's message queue belongs to the parent) sends one packet of `size`
// bytes in pieces through the queue, then waits until all has gone.
int SendBetweenProcesses(UINT port, int size) {
    int result = 1;
    std::thread sender([&] {
        CClientASocket out;
        if (!out.Create()) return;
        out.Connect("127.0.0.1", port);
        const int piece = 1 << 20;
        std::string block(piece, '\0');
        for (int at = 0; at < size; at += piece) {
            std::memcpy(&block[0], &at, sizeof at); // each piece says where it belongs
            if (!out.SendPacketEx(&block[0], std::min(piece, size - at), at == 0 ? size : 0, 42)) return;
        }
        // What the kernel holds still arrives after the close.
        if (PumpMessagesUntil([&] { return out.m_SendQueue.IsEmpty(); }, 120000)) result = 0;
    });
    sender.join();
    return result;
}

} // namespace

TEST(PacketProcesses, HundredMegabytesFromAnotherProcessArriveWhole) {
    const int kSize = 100 << 20;
    EventLog<CAsyncSocket> server;
    const UINT port = ListenOnLoopback(server);
    ASSERT_NE(port, 0u);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(SendBetweenProcesses(port, kSize));

    struct Checker : CClientSocket {
        int packets = 0, badPieces = 0, length = 0;
        void Received() override {
            ++packets;
            length = m_nLength;
            for (int at = 0; at < m_nLength; at += 1 << 20) {
                int mark;
                std::memcpy(&mark, m_pData + at, sizeof mark);
                badPieces += mark != at;
            }
        }
    } receiver;
    receiver.SetMaxPacketLength(128 << 20);
    server.hook = [&](const std::string& e) {
        if (e == "accept 0") server.Accept(receiver);
    };
    EXPECT_TRUE(PumpUntil([&] { return receiver.packets == 1; }, 180000));
    receiver.Close(); // lets the child finish
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(receiver.length, kSize);
    EXPECT_EQ(receiver.badPieces, 0);
}

TEST(OwnAddresses, PrivateRangesAndTheResolversAddressesOfTheHost) {
    for (const char* yes : {"10.1.2.3", "172.16.0.1", "172.31.255.255", "192.168.1.1"})
        EXPECT_TRUE(IsLocalIp(ntohl(inet_addr(yes)))) << yes;
    for (const char* no : {"172.32.0.1", "11.0.0.1", "192.169.0.1", "127.0.0.1"})
        EXPECT_FALSE(IsLocalIp(ntohl(inet_addr(no)))) << no;

    CStringArray addresses;
    addresses.Add("kept"); // the array is not emptied
    ASSERT_TRUE(GetOwnIP(addresses, true));
    ASSERT_GE(addresses.GetSize(), 2);
    CString first;
    in_addr addr = {};
    ASSERT_TRUE(GetOwnIP(first, addr, false));
    EXPECT_EQ(std::string(first), std::string(addresses[1]));
    EXPECT_EQ(addr.s_addr, inet_addr(first));
    char name[256] = "";
    gethostname(name, sizeof name);
    addrinfo hints = {}, *found = nullptr;
    hints.ai_family = AF_INET;
    ASSERT_EQ(getaddrinfo(name, nullptr, &hints, &found), 0);
    std::vector<std::string> resolved = {"kept"};
    for (addrinfo* a = found; a; a = a->ai_next)
        resolved.push_back(inet_ntoa(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr));
    freeaddrinfo(found);
    for (INT_PTR i = 0; i < addresses.GetSize(); ++i)
        EXPECT_NE(std::find(resolved.begin(), resolved.end(), std::string(addresses[i])), resolved.end());
}
