// The accepted connections of CServerSocket over the life of a server:
// clients that come and go leave no open socket and no object behind, and
// the indices of those still connected stay valid.
#include "NetTestSupport.h"

#include <dirent.h>

using namespace nettest;

namespace {

int OpenDescriptors() {
    DIR* dir = opendir("/proc/self/fd");
    int count = 0;
    while (readdir(dir)) ++count;
    closedir(dir);
    return count;
}

int LiveClients(CServerSocket& server) {
    int live = 0;
    for (INT_PTR i = 0; i < server.m_Clients.GetSize(); ++i) live += server.m_Clients[i] != nullptr;
    return live;
}

} // namespace

TEST(PacketServer, ClientsThatCloseLeaveTheListWhileTheOthersKeepTheirIndex) {
    const int kRounds = 8, kPerRound = 25;
    LoopThread serving;
    auto server = std::make_unique<CServerSocket>();
    CString address;
    UINT port = 0;
    serving.Call([&] {
        ASSERT_TRUE(server->Create(0, SOCK_STREAM, "127.0.0.1") && server->Listen(64) &&
                    server->GetSockName(address, port));
    });
    const int firstPeer = RawConnect(port); // stays connected throughout: index 0
    ASSERT_GE(firstPeer, 0);
    ASSERT_TRUE(serving.WaitFor([&] { return server->m_Clients.GetSize() == 1; }));
    const int baseline = OpenDescriptors();

    // Rounds of connections that end, half gracefully and half by a reset.
    for (int round = 0; round < kRounds; ++round) {
        std::vector<int> peers;
        for (int i = 0; i < kPerRound; ++i) peers.push_back(RawConnect(port));
        const INT_PTR expected = 1 + INT_PTR(round + 1) * kPerRound;
        ASSERT_TRUE(serving.WaitFor([&] { return server->m_Clients.GetSize() == expected; }));
        for (size_t i = 0; i < peers.size(); ++i) {
            ASSERT_GE(peers[i], 0);
            if (i % 2) RawReset(peers[i]);
            else close(peers[i]);
        }
        ASSERT_TRUE(serving.WaitFor([&] { return LiveClients(*server) == 1; })) << "round " << round;
    }
    EXPECT_EQ(server->m_Clients.GetSize(), 1 + kRounds * kPerRound) << "entries are emptied, never removed";
    EXPECT_EQ(OpenDescriptors(), baseline) << "the closed clients' sockets are closed";

    serving.Call([&] {
        EXPECT_FALSE(server->SendPacketToClient(1, (void*)"x", 1)) << "a closed client's index";
        EXPECT_TRUE(server->SendPacketToClient(0, (void*)"still here", 10));
    });
    const std::string wire = RawRead(firstPeer, 32 + 10);
    ASSERT_EQ(wire.size(), 42u);
    EXPECT_EQ(wire.substr(32), "still here");

    // A client taken out of the list by the application is not deleted by
    // the server when it closes; the server deletes what it still holds.
    const INT_PTR adoptedIndex = server->m_Clients.GetSize();
    const int adopted = RawConnect(port);
    ASSERT_TRUE(serving.WaitFor([&] { return server->m_Clients.GetSize() == adoptedIndex + 1; }));
    std::unique_ptr<CClientSocket> ours;
    serving.Call([&] {
        ours.reset(server->m_Clients[adoptedIndex]);
        server->m_Clients[adoptedIndex] = nullptr;
    });
    close(adopted);
    serving.Call([&] { PumpPasses(); });
    serving.Call([&] {
        EXPECT_NE(ours->m_hSocket, INVALID_SOCKET) << "left to its new owner";
        ours.reset();
        server.reset();
    });
    close(firstPeer);
}
