// The message queue under the real window manager: posted messages, timers, the
// quit message, the message filter, registered messages and GetMessagePos.
#include "os/win32/backend.h"
#include "os/win32/common.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <memory>

namespace os::win32::test
{
    namespace
    {
        constexpr UINT kPing = WM_USER + 1;
        constexpr UINT kPosted = WM_USER + 2;
        constexpr UINT kFiltered = WM_USER + 3;
        constexpr std::uintptr_t kWatchdog = 99;
        constexpr int kWatchdogExit = -99;

        class Filter final : public IMessageFilter
        {
          public:
            bool PreTranslateMessage(const Msg& msg) override
            {
                seen.push_back(msg.message);
                return msg.message == kFiltered;
            }
            std::vector<UINT> seen;
        };

        class LoopTest : public ::testing::Test
        {
          protected:
            void SetUp() override
            {
                // Nothing left over from another test in this thread's queue.
                wm.PumpMessages();
                WindowParams request;
                request.className = "NorvaleLoopTest";
                request.style = WS_POPUP;
                request.bounds = Rect::FromBounds(0, 0, 50, 50);
                hwnd = wm.Create(request, &rec);
                ASSERT_NE(hwnd, Hwnd{});
                rec.Clear();
            }
            void TearDown() override
            {
                wm.SetMessageFilter(nullptr);
                wm.Destroy(hwnd);
                MSG msg;
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                {
                }
            }

            // RunMessageLoop, ended by a quit of its own after a second if nothing else
            // ends it, so that a lost quit fails the test instead of hanging it.
            int RunLoop()
            {
                rec.handlers[WM_TIMER] = [this](Hwnd, WPARAM id, LPARAM) -> std::optional<LRESULT>
                {
                    if (id == kWatchdog)
                        wm.PostQuitMessage(kWatchdogExit);
                    return 0;
                };
                wm.SetTimer(hwnd, kWatchdog, 1000);
                const int code = wm.RunMessageLoop();
                wm.KillTimer(hwnd, kWatchdog);
                return code;
            }

            std::unique_ptr<Backend> backend = CreateBackend();
            IWindowManager& wm = backend->Os().windows;
            Recorder rec{ wm };
            Hwnd hwnd{};
        };
    } // namespace

    TEST_F(LoopTest, PostedMessageWaitsUntilTheCurrentHandlerReturned)
    {
        bool postedSeenInsideHandler = true;
        rec.handlers[kPing] = [&](Hwnd h, WPARAM, LPARAM) -> std::optional<LRESULT>
        {
            wm.Post(h, kPosted, 7, 8);
            postedSeenInsideHandler = rec.Count(kPosted) != 0;
            return 0;
        };

        wm.Send(hwnd, kPing, 0, 0);
        EXPECT_FALSE(postedSeenInsideHandler);
        EXPECT_EQ(rec.Count(kPosted), 0); // sending does not run the queue
        EXPECT_TRUE(wm.PumpMessages());
        ASSERT_EQ(rec.Count(kPosted), 1);
        EXPECT_EQ(rec.Find(kPosted)[0]->wParam, 7u);
        EXPECT_EQ(rec.Find(kPosted)[0]->lParam, 8);
        EXPECT_EQ(Names(rec.Sequence({ kPing, kPosted })), "USER+1 USER+2");
    }

    TEST_F(LoopTest, PumpRunsWhatHandlersPostWhileItRuns)
    {
        int chain = 0;
        rec.handlers[kPosted] = [&](Hwnd h, WPARAM wParam, LPARAM) -> std::optional<LRESULT>
        {
            ++chain;
            if (wParam < 3)
                wm.Post(h, kPosted, wParam + 1, 0);
            return 0;
        };
        wm.Post(hwnd, kPosted, 0, 0);
        EXPECT_TRUE(wm.PumpMessages());
        EXPECT_EQ(chain, 4);
    }

    TEST_F(LoopTest, TimerFiresAfterItsTimeAndNotAfterKillTimer)
    {
        constexpr std::uintptr_t kId = 7;
        ASSERT_TRUE(wm.SetTimer(hwnd, kId, 40));
        wm.PumpMessages();
        EXPECT_EQ(rec.Count(WM_TIMER), 0) << "fired before its time";

        Sleep(80);
        wm.PumpMessages();
        const auto timers = rec.Find(WM_TIMER);
        ASSERT_FALSE(timers.empty());
        // Several elapsed periods make one WM_TIMER: it is made when the queue is read.
        EXPECT_EQ(timers.size(), 1u);
        EXPECT_EQ(timers[0]->wParam, kId);

        // Due again, but killed before the queue is read: nothing comes.
        Sleep(60);
        EXPECT_TRUE(wm.KillTimer(hwnd, kId));
        rec.Clear();
        wm.PumpMessages();
        EXPECT_EQ(rec.Count(WM_TIMER), 0);
        EXPECT_FALSE(wm.KillTimer(hwnd, kId));
    }

    TEST_F(LoopTest, TimerMessagesWaitForPostedOnes)
    {
        ASSERT_TRUE(wm.SetTimer(hwnd, 1, 10));
        Sleep(30);
        wm.Post(hwnd, kPosted, 0, 0);
        wm.PumpMessages();
        wm.KillTimer(hwnd, 1);
        EXPECT_EQ(Names(rec.Sequence({ kPosted, WM_TIMER })), "USER+2 TIMER") << rec.Describe();
    }

    TEST_F(LoopTest, QuitStopsThePumpAndIsLeftForTheMessageLoop)
    {
        wm.Post(hwnd, kPosted, 0, 0);
        wm.PostQuitMessage(5);

        EXPECT_FALSE(wm.PumpMessages());
        EXPECT_EQ(rec.Count(kPosted), 1); // what was posted before the quit still ran
        EXPECT_FALSE(wm.PumpMessages());  // the quit is still there
        EXPECT_EQ(RunLoop(), 5);
        EXPECT_TRUE(wm.PumpMessages()); // and gone once the loop took it
    }

    TEST_F(LoopTest, MessageLoopDispatchesUntilQuit)
    {
        rec.handlers[kPosted] = [&](Hwnd, WPARAM wParam, LPARAM) -> std::optional<LRESULT>
        {
            wm.PostQuitMessage(static_cast<int>(wParam));
            return 0;
        };
        wm.Post(hwnd, kPing, 0, 0);
        wm.Post(hwnd, kPosted, 3, 0);
        EXPECT_EQ(RunLoop(), 3);
        EXPECT_EQ(Names(rec.Sequence({ kPing, kPosted })), "USER+1 USER+2");
    }

    TEST_F(LoopTest, FilterSeesEveryMessageAndKeepsWhatItHandles)
    {
        Filter filter;
        wm.SetMessageFilter(&filter);
        wm.Post(hwnd, kFiltered, 0, 0);
        wm.Post(hwnd, kPosted, 0, 0);
        wm.PumpMessages();
        EXPECT_EQ(rec.Count(kFiltered), 0);
        EXPECT_EQ(rec.Count(kPosted), 1);

        filter.seen.clear();
        wm.Post(hwnd, kFiltered, 0, 0);
        wm.Post(hwnd, kPing, 0, 0);
        wm.PostQuitMessage(0);
        EXPECT_EQ(RunLoop(), 0);
        EXPECT_EQ(filter.seen, (std::vector<UINT>{ kFiltered, kPing }));
        EXPECT_EQ(rec.Count(kFiltered), 0);
        EXPECT_EQ(rec.Count(kPing), 1);
    }

    TEST_F(LoopTest, RegisteredMessagesAreSharedByName)
    {
        const UINT a = wm.RegisterMessage("NorvaleBackendTestMessage");
        EXPECT_GE(a, 0xC000u);
        EXPECT_EQ(wm.RegisterMessage("norvalebackendtestmessage"), a);
        EXPECT_NE(wm.RegisterMessage("NorvaleBackendTestOther"), a);
    }

    TEST_F(LoopTest, MessagePositionIsThePointerWhenTheMessageWasPosted)
    {
        ASSERT_TRUE(SetCursorPos(37, 45));
        Point inside{ -1, -1 };
        rec.handlers[kPosted] = [&](Hwnd, WPARAM, LPARAM) -> std::optional<LRESULT>
        {
            inside = backend->Os().system.GetMessagePos();
            return 0;
        };
        wm.Post(hwnd, kPosted, 0, 0);
        wm.PumpMessages();
        EXPECT_EQ(inside, (Point{ 37, 45 }));
    }
} // namespace os::win32::test
