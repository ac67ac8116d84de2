// The thread message loop: posting, sending across threads, quitting,
// timers and descriptor notifiers.
#include "LoopTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using looptest::ExitCode;
using looptest::ScriptWnd;
using looptest::StartThread;
using looptest::WindowThread;

TEST(MessageLoop, PostsFromFourThreadsArriveCompleteAndInOrder) {
    const int kSenders = 4, kEach = 5000;
    ScriptWnd wnd;
    ASSERT_TRUE(wnd.CreateTop(CRect(0, 0, 10, 10), 0));
    std::vector<std::vector<LPARAM>> got(kSenders);
    size_t total = 0;
    wnd.Watch(WM_USER + 1, [&](WPARAM w, LPARAM l) {
        got.at(w).push_back(l);
        ++total;
    });
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s)
        senders.emplace_back([&, s] {
            for (int i = 0; i < kEach; ++i) EXPECT_TRUE(::PostMessage(wnd.m_hWnd, WM_USER + 1, s, i));
        });
    const bool all = PumpMessagesUntil([&] { return total == size_t(kSenders) * kEach; }, 20000);
    for (auto& t : senders) t.join();
    ASSERT_TRUE(all);
    for (auto& g : got)
        for (int i = 0; i < kEach; ++i) ASSERT_EQ(g[i], i);
}

TEST(MessageLoop, QuitComesAfterWhatWasPostedBeforeIt) {
    ASSERT_TRUE(::PostMessage(nullptr, WM_USER, 1, 0));
    PostQuitMessage(3);
    ASSERT_TRUE(PostThreadMessage(GetCurrentThreadId(), WM_USER, 2, 0));
    MSG msg;
    ASSERT_EQ(GetMessage(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_EQ(GetMessage(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_EQ(GetMessage(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageLoop, PeekFiltersAndCanLeaveTheMessage) {
    ::PostMessage(nullptr, WM_USER + 5, 0, 0);
    ::PostMessage(nullptr, WM_USER + 9, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, nullptr, WM_USER + 9, WM_USER + 9, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 9));
    ASSERT_TRUE(PeekMessage(&msg, nullptr, WM_USER + 9, WM_USER + 9, PM_REMOVE));
    EXPECT_FALSE(PeekMessage(&msg, nullptr, WM_USER + 9, WM_USER + 9, PM_REMOVE));
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 5));
}

TEST(SendMessage, AcrossThreadsRunsOnTheOwnerAndReturnsItsAnswer) {
    std::atomic<DWORD> handledOn{0};
    WindowThread owner([&](ScriptWnd& wnd) {
        wnd.handler = [&](UINT m, WPARAM w, LPARAM l, LRESULT& r) {
            if (m != WM_USER + 2) return false;
            handledOn = GetCurrentThreadId();
            r = LRESULT(w * 10 + l);
            return true;
        };
    });
    EXPECT_EQ(::SendMessage(owner.hwnd(), WM_USER + 2, 4, 2), 42);
    EXPECT_EQ(handledOn.load(), owner.id());
    EXPECT_EQ(GetWindowThreadProcessId(owner.hwnd(), nullptr), owner.id());
    EXPECT_EQ(::SendMessage(reinterpret_cast<HWND>(0x1234), WM_USER, 0, 0), 0) << "not a window";
}

TEST(SendMessage, ThreadsSendingToEachOtherDoNotDeadlock) {
    // B answers a message from A's thread by first asking A, which is
    // blocked in its own SendMessage at that moment.
    static HWND a, b;
    WindowThread bThread([](ScriptWnd& wnd) {
        wnd.handler = [](UINT m, WPARAM w, LPARAM, LRESULT& r) {
            if (m != WM_USER + 3) return false;
            r = ::SendMessage(a, WM_USER + 4, w, 0) + 1;
            return true;
        };
    });
    b = bThread.hwnd();
    CWinThread* aThread = StartThread([](LPVOID) -> UINT {
        ScriptWnd wnd;
        wnd.CreateTop(CRect(0, 0, 10, 10), 0);
        wnd.handler = [](UINT m, WPARAM w, LPARAM, LRESULT& r) {
            if (m != WM_USER + 4) return false;
            r = LRESULT(w * 2);
            return true;
        };
        a = wnd.m_hWnd;
        return static_cast<UINT>(::SendMessage(b, WM_USER + 3, 20, 0));
    });
    EXPECT_EQ(ExitCode(*aThread), 41u) << "deadlocked";
    delete aThread;
}

TEST(SendMessage, ReturnsZeroWhenTheOwnerEndsWithoutAnswering) {
    CEvent created(FALSE, TRUE), leave(FALSE, TRUE);
    std::atomic<HWND> hwnd{nullptr};
    auto* wnd = new ScriptWnd; // outlives its thread, which destroys the window as it ends
    std::thread owner([&] {
        wnd->CreateTop(CRect(0, 0, 10, 10), 0);
        hwnd = wnd->m_hWnd;
        created.SetEvent();
        WaitForSingleObject(leave, 60000); // never reads its queue; leaves when told
    });
    ASSERT_TRUE(created.Lock(5000));
    CWinThread* sender = StartThread([](LPVOID p) -> UINT {
        return static_cast<UINT>(::SendMessage(*static_cast<HWND*>(p), WM_USER, 0, 0) + 1);
    }, new HWND(hwnd));
    EXPECT_EQ(WaitForSingleObject(*sender, 30), WAIT_TIMEOUT) << "waits for the owner";
    leave.SetEvent();
    owner.join();
    EXPECT_FALSE(IsWindow(hwnd)) << "a thread's windows end with it";
    EXPECT_EQ(wnd->m_hWnd, nullptr);
    EXPECT_EQ(wnd->received.back(), UINT(WM_NCDESTROY));
    delete wnd;
    EXPECT_EQ(ExitCode(*sender), 1u);
    delete static_cast<HWND*>(sender->m_pThreadParams);
    delete sender;
}

TEST(Timer, FiresInDueOrderOncePerPeriodWithoutPilingUp) {
    ScriptWnd wnd;
    ASSERT_TRUE(wnd.CreateTop(CRect(0, 0, 10, 10), 0));
    std::vector<UINT_PTR> fired;
    wnd.Watch(WM_TIMER, [&](WPARAM w, LPARAM) {
        fired.push_back(w);
        wnd.KillTimer(w);
    });
    EXPECT_EQ(wnd.SetTimer(1, 300), 1u);
    EXPECT_EQ(wnd.SetTimer(2, 100), 2u);
    EXPECT_EQ(wnd.SetTimer(3, 200), 3u);
    ASSERT_TRUE(PumpMessagesUntil([&] { return fired.size() == 3; }, 5000));
    EXPECT_EQ(fired, (std::vector<UINT_PTR>{2, 3, 1}));
    EXPECT_FALSE(wnd.KillTimer(1)) << "already killed";

    // Several periods late, a timer still yields one message, and the next
    // comes a period after it was taken. (Within that period a second one
    // would be a fault; after it, a busy machine may have let one fall due.)
    wnd.handler = nullptr;
    ASSERT_TRUE(wnd.SetTimer(7, 50));
    Sleep(130);
    MSG msg;
    const DWORD beforeTaking = GetTickCount();
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_TIMER));
    EXPECT_EQ(msg.hwnd, wnd.m_hWnd);
    EXPECT_EQ(msg.wParam, 7u);
    const int ticks = wnd.Count(WM_TIMER);
    MSG next;
    const bool another = PeekMessage(&next, nullptr, 0, 0, PM_NOREMOVE);
    if (GetTickCount() - beforeTaking < 50) {
        EXPECT_FALSE(another) << "late ticks do not pile up";
    }
    ASSERT_TRUE(PumpMessagesUntil([&] { return wnd.Count(WM_TIMER) > ticks; }, 5000));
    EXPECT_GE(GetTickCount() - beforeTaking, 50u);
    wnd.DestroyWindow();
    EXPECT_FALSE(::KillTimer(msg.hwnd, 7)) << "destroying the window killed it";
}

TEST(Timer, ThreadTimersCallTheirProcedure) {
    static std::atomic<int> calls;
    static UINT_PTR seenId;
    calls = 0;
    UINT_PTR id = ::SetTimer(nullptr, 0, 10, [](HWND hwnd, UINT m, UINT_PTR timer, DWORD) {
        EXPECT_EQ(hwnd, nullptr);
        EXPECT_EQ(m, UINT(WM_TIMER));
        seenId = timer;
        ++calls;
    });
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(PumpMessagesUntil([] { return calls >= 2; }, 5000));
    EXPECT_EQ(seenId, id);
    EXPECT_EQ(::SetTimer(nullptr, id, 20, nullptr), id) << "restarting keeps the id";
    EXPECT_TRUE(::KillTimer(nullptr, id));
    EXPECT_EQ(::SetTimer(reinterpret_cast<HWND>(0x4321), 1, 10, nullptr), 0u) << "not a window";
}

TEST(FdNotifier, CallsBackOnTheRegisteringThreadWhileEnabled) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
    std::string received;
    std::vector<DWORD> threads;
    DWORD last = 0;
    CFdNotifier notifier;
    ASSERT_TRUE(notifier.Register(fds[0], CFdNotifier::Read, [&](DWORD events) {
        last = events;
        threads.push_back(GetCurrentThreadId());
        char buf[64];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0) received.append(buf, n);
    }));
    EXPECT_EQ(notifier.GetThreadId(), GetCurrentThreadId());
    CFdNotifier second;
    EXPECT_FALSE(second.Register(fds[0], CFdNotifier::Read, [](DWORD) {})) << "one per descriptor";

    std::thread writer([&] { ASSERT_EQ(write(fds[1], "hello", 5), 5); });
    ASSERT_TRUE(PumpMessagesUntil([&] { return received == "hello"; }, 5000));
    writer.join();
    EXPECT_TRUE(last & CFdNotifier::Read);
    for (DWORD t : threads) EXPECT_EQ(t, GetCurrentThreadId());

    // Paused, the descriptor stays readable but nobody is called.
    ASSERT_TRUE(notifier.SetEvents(0));
    ASSERT_EQ(write(fds[1], "more", 4), 4);
    size_t calls = threads.size();
    PumpMessagesUntil([] { return false; }, 30);
    EXPECT_EQ(threads.size(), calls);
    ASSERT_TRUE(notifier.SetEvents(CFdNotifier::Read));
    ASSERT_TRUE(PumpMessagesUntil([&] { return received == "hellomore"; }, 5000));

    close(fds[1]);
    ASSERT_TRUE(PumpMessagesUntil([&] { return (last & CFdNotifier::HangUp) != 0; }, 5000));
    notifier.Unregister();
    EXPECT_FALSE(notifier.SetEvents(CFdNotifier::Read));
    close(fds[0]);

    FILE* file = tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(notifier.Register(fileno(file), CFdNotifier::Read, [](DWORD) {})) << "not pollable";
    fclose(file);
    EXPECT_FALSE(notifier.Register(-1, CFdNotifier::Read, [](DWORD) {}));
}
