// What a screen reader reads of a window of ours, asked the way a screen reader asks
// (AccessibleObjectFromWindow), and the object it keeps after the content is gone.
#include "os/win32/backend.h"
#include "os/win32/com.h"
#include "os/win32/common.h"
#include "recorder.h"

#include <ole2.h>

#include <oleacc.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

namespace os::win32::test
{
    namespace
    {
        // IAccessible's identifier (the import library's symbol is not its data).
        constexpr IID kIidAccessible = { 0x618736e0, 0x3c3d, 0x11cf, { 0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71 } };

        class TestContent final : public IAccessibleContent
        {
          public:
            std::wstring AccessibleName() override { return Touch(name); }
            std::wstring AccessibleValue() override { return Touch(value); }
            std::wstring AccessibleDescription() override { return Touch(description); }
            long AccessibleRole() override
            {
                Touch({});
                return role::animation;
            }
            std::wstring DefaultActionName() override { return Touch(actionName); }
            bool DoDefaultAction() override
            {
                Touch({});
                ++actions;
                return hasAction;
            }

            std::wstring name = L"Harbour city opens a floating library";
            std::wstring value = L"http://news.example/library";
            std::wstring description = L"News headlines";
            std::wstring actionName = L"Open";
            bool hasAction = true;
            int actions = 0;
            int calls = 0;
            // Set when the window's object no longer answers for this content: any
            // call after that is a use of content that may already be freed.
            bool gone = false;
            int callsAfterGone = 0;

          private:
            std::wstring Touch(const std::wstring& answer)
            {
                ++calls;
                if (gone)
                    ++callsAfterGone;
                return answer;
            }
        };

        VARIANT Self()
        {
            VARIANT v;
            v.vt = VT_I4;
            v.lVal = CHILDID_SELF;
            return v;
        }

        VARIANT Child(long id)
        {
            VARIANT v;
            v.vt = VT_I4;
            v.lVal = id;
            return v;
        }

        // A BSTR answer as text, with the call's result.
        struct Text
        {
            HRESULT hr = E_FAIL;
            std::wstring text;
            bool null = true;
        };

        template <typename Call> Text ReadText(Call call)
        {
            BSTR out = nullptr;
            Text result;
            result.hr = call(&out);
            if (out)
            {
                result.null = false;
                result.text.assign(out, SysStringLen(out));
                SysFreeString(out);
            }
            return result;
        }

        long ReadLong(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*))
        {
            VARIANT out;
            VariantInit(&out);
            if (FAILED((object->*get)(Self(), &out)) || out.vt != VT_I4)
                return -1;
            return out.lVal;
        }

        ComPtr<IAccessible> ClientObject(HWND hwnd)
        {
            ComPtr<IAccessible> object;
            AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), kIidAccessible, object.PutVoid());
            return object;
        }

        class AccessibleTest : public ::testing::Test
        {
          protected:
            void TearDown() override
            {
                if (wm.IsWindow(hwnd))
                    wm.Destroy(hwnd);
                wm.PumpMessages();
            }

            Hwnd Make(DWORD style = WS_POPUP | WS_VISIBLE)
            {
                WindowParams request;
                request.className = "NorvaleTestAccessible";
                request.text = "Norvale Test Strip";
                request.style = style;
                request.bounds = Rect::FromBounds(30, 40, 300, 25);
                return wm.Create(request, &rec);
            }

            // How many WM_GETOBJECT for this object reached the window's procedure.
            int Asked(LONG objectId) const
            {
                int count = 0;
                for (const Logged* m : rec.Find(WM_GETOBJECT))
                    if (static_cast<LONG>(static_cast<DWORD>(m->lParam)) == objectId)
                        ++count;
                return count;
            }

            std::unique_ptr<Backend> backend = CreateBackend();
            IWindowManager& wm = backend->Os().windows;
            Recorder rec{ wm };
            TestContent content;
            Hwnd hwnd{};
        };

        // Every call of the object answers "disconnected" and asks nothing of the
        // content. Returns how many calls did not.
        int AnswersThatAreNotDisconnected(IAccessible* object)
        {
            int wrong = 0;
            auto expect = [&](HRESULT hr)
            {
                if (hr != RPC_E_DISCONNECTED)
                    ++wrong;
            };
            expect(ReadText([&](BSTR* out) { return object->get_accName(Self(), out); }).hr);
            expect(ReadText([&](BSTR* out) { return object->get_accValue(Self(), out); }).hr);
            expect(ReadText([&](BSTR* out) { return object->get_accDescription(Self(), out); }).hr);
            expect(ReadText([&](BSTR* out) { return object->get_accDefaultAction(Self(), out); }).hr);
            VARIANT v;
            VariantInit(&v);
            expect(object->get_accRole(Self(), &v));
            expect(object->get_accState(Self(), &v));
            expect(object->get_accFocus(&v));
            expect(object->accHitTest(40, 45, &v));
            expect(object->accDoDefaultAction(Self()));
            long x = 0, y = 0, cx = 0, cy = 0;
            expect(object->accLocation(&x, &y, &cx, &cy, Self()));
            ComPtr<IDispatch> parent;
            expect(object->get_accParent(parent.Put()));
            if (parent)
                ++wrong;
            return wrong;
        }
    } // namespace

    TEST_F(AccessibleTest, ScreenReaderReadsTheContentAndItsDefaultActionReachesIt)
    {
        hwnd = Make();
        ASSERT_NE(hwnd, Hwnd{});
        wm.SetAccessible(hwnd, &content);
        ComPtr<IAccessible> object = ClientObject(ToHwnd(hwnd));
        ASSERT_TRUE(object);

        EXPECT_EQ(ReadText([&](BSTR* out) { return object->get_accName(Self(), out); }).text, content.name);
        EXPECT_EQ(ReadText([&](BSTR* out) { return object->get_accValue(Self(), out); }).text, content.value);
        EXPECT_EQ(ReadText([&](BSTR* out) { return object->get_accDescription(Self(), out); }).text, content.description);
        EXPECT_EQ(ReadText([&](BSTR* out) { return object->get_accDefaultAction(Self(), out); }).text, L"Open");
        EXPECT_EQ(ReadLong(object.Get(), &IAccessible::get_accRole), ROLE_SYSTEM_ANIMATION);
        // Asked anew each time: the name follows the content.
        content.name = L"Snow returns to the plateau";
        EXPECT_EQ(ReadText([&](BSTR* out) { return object->get_accName(Self(), out); }).text, content.name);
        // No text is no name: S_FALSE and no string.
        content.value.clear();
        const Text empty = ReadText([&](BSTR* out) { return object->get_accValue(Self(), out); });
        EXPECT_EQ(empty.hr, S_FALSE);
        EXPECT_TRUE(empty.null);

        EXPECT_EQ(object->accDoDefaultAction(Self()), S_OK);
        EXPECT_EQ(content.actions, 1);
        content.hasAction = false;
        EXPECT_EQ(object->accDoDefaultAction(Self()), DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(content.actions, 2);

        // The object has no children: any other child id is refused, unread.
        const int calls = content.calls;
        EXPECT_EQ(ReadText([&](BSTR* out) { return object->get_accName(Child(1), out); }).hr, E_INVALIDARG);
        EXPECT_EQ(object->accDoDefaultAction(Child(2)), E_INVALIDARG);
        long count = -1;
        EXPECT_EQ(object->get_accChildCount(&count), S_OK);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(content.calls, calls);
        EXPECT_EQ(content.actions, 2);

        // Its place is the window's client area on the screen; its parent the
        // system's object for the window itself.
        long x = 0, y = 0, cx = 0, cy = 0;
        EXPECT_EQ(object->accLocation(&x, &y, &cx, &cy, Self()), S_OK);
        EXPECT_EQ(Rect::FromBounds(x, y, cx, cy), Rect::FromBounds(30, 40, 300, 25));
        ComPtr<IDispatch> parent;
        ASSERT_EQ(object->get_accParent(parent.Put()), S_OK);
        ComPtr<IAccessible> window;
        ASSERT_EQ(parent.QueryInto(kIidAccessible, window), S_OK);
        HWND parentWindow = nullptr;
        EXPECT_EQ(WindowFromAccessibleObject(window.Get(), &parentWindow), S_OK);
        EXPECT_EQ(parentWindow, ToHwnd(hwnd));
        EXPECT_NE(window.Get(), object.Get());
    }

    TEST_F(AccessibleTest, StateFollowsTheFocusAndTheWindowsVisibility)
    {
        hwnd = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        ASSERT_NE(hwnd, Hwnd{});
        wm.SetAccessible(hwnd, &content);
        ComPtr<IAccessible> object = ClientObject(ToHwnd(hwnd));
        ASSERT_TRUE(object);

        wm.SetForegroundWindow(hwnd);
        wm.SetFocus(hwnd);
        wm.PumpMessages();
        ASSERT_EQ(wm.GetFocus(), hwnd);
        EXPECT_EQ(ReadLong(object.Get(), &IAccessible::get_accState), STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED);
        VARIANT focus;
        VariantInit(&focus);
        EXPECT_EQ(object->get_accFocus(&focus), S_OK);
        EXPECT_EQ(focus.vt, VT_I4);

        wm.SetFocus({});
        wm.PumpMessages();
        EXPECT_EQ(ReadLong(object.Get(), &IAccessible::get_accState), STATE_SYSTEM_FOCUSABLE);
        EXPECT_EQ(object->get_accFocus(&focus), S_FALSE);
        EXPECT_EQ(focus.vt, VT_EMPTY);

        // A screen reader's "take the focus" gives the window the focus.
        EXPECT_EQ(object->accSelect(SELFLAG_TAKEFOCUS, Self()), S_OK);
        EXPECT_EQ(wm.GetFocus(), hwnd);

        wm.ShowWindow(hwnd, sw::hide);
        EXPECT_NE(ReadLong(object.Get(), &IAccessible::get_accState) & STATE_SYSTEM_INVISIBLE, 0);
    }

    TEST_F(AccessibleTest, OtherObjectsAndWindowsWithoutContentGoToTheWindowsProcedure)
    {
        hwnd = Make();
        ASSERT_NE(hwnd, Hwnd{});
        // Without content the client is the system's standard one.
        ComPtr<IAccessible> standard = ClientObject(ToHwnd(hwnd));
        ASSERT_TRUE(standard);
        EXPECT_EQ(ReadLong(standard.Get(), &IAccessible::get_accRole), ROLE_SYSTEM_CLIENT);
        EXPECT_GE(Asked(OBJID_CLIENT), 1);

        wm.SetAccessible(hwnd, &content);
        rec.Clear();
        ComPtr<IAccessible> frame;
        ASSERT_EQ(AccessibleObjectFromWindow(ToHwnd(hwnd), static_cast<DWORD>(OBJID_WINDOW), kIidAccessible, frame.PutVoid()),
                  S_OK);
        EXPECT_GE(Asked(OBJID_WINDOW), 1) << rec.Describe();
        // The client object is the backend's answer: the procedure never sees it.
        ComPtr<IAccessible> ours = ClientObject(ToHwnd(hwnd));
        ASSERT_TRUE(ours);
        EXPECT_EQ(Asked(OBJID_CLIENT), 0);
        EXPECT_EQ(ReadText([&](BSTR* out) { return ours->get_accName(Self(), out); }).text, content.name);

        // System controls are not ours: no content is kept for them.
        WindowParams button;
        button.className = "BUTTON";
        button.style = WS_CHILD | WS_VISIBLE;
        button.bounds = Rect::FromBounds(0, 0, 50, 20);
        button.parent = hwnd;
        const Hwnd child = wm.Create(button, nullptr);
        ASSERT_NE(child, Hwnd{});
        wm.SetAccessible(child, &content);
        ComPtr<IAccessible> control = ClientObject(ToHwnd(child));
        ASSERT_TRUE(control);
        EXPECT_NE(ReadText([&](BSTR* out) { return control->get_accName(Self(), out); }).text, content.name);
    }

    TEST_F(AccessibleTest, ObjectKeptAfterTheContentIsClearedAnswersDisconnected)
    {
        hwnd = Make();
        ASSERT_NE(hwnd, Hwnd{});
        wm.SetAccessible(hwnd, &content);
        ComPtr<IAccessible> held = ClientObject(ToHwnd(hwnd));
        ASSERT_TRUE(held);
        ASSERT_EQ(ReadText([&](BSTR* out) { return held->get_accName(Self(), out); }).text, content.name);

        wm.SetAccessible(hwnd, nullptr);
        content.gone = true;
        EXPECT_EQ(AnswersThatAreNotDisconnected(held.Get()), 0);
        EXPECT_EQ(content.callsAfterGone, 0);
        // The window's client is the system's again.
        ComPtr<IAccessible> now = ClientObject(ToHwnd(hwnd));
        ASSERT_TRUE(now);
        EXPECT_EQ(ReadLong(now.Get(), &IAccessible::get_accRole), ROLE_SYSTEM_CLIENT);

        // New content gets a new object; the one held stays disconnected.
        TestContent next;
        next.name = L"Ferry timetable agreed";
        wm.SetAccessible(hwnd, &next);
        ComPtr<IAccessible> fresh = ClientObject(ToHwnd(hwnd));
        ASSERT_TRUE(fresh);
        EXPECT_EQ(ReadText([&](BSTR* out) { return fresh->get_accName(Self(), out); }).text, next.name);
        EXPECT_EQ(AnswersThatAreNotDisconnected(held.Get()), 0);
        EXPECT_EQ(content.callsAfterGone, 0);
    }

    TEST_F(AccessibleTest, ObjectKeptAfterTheWindowIsDestroyedAnswersDisconnected)
    {
        hwnd = Make();
        ASSERT_NE(hwnd, Hwnd{});
        wm.SetAccessible(hwnd, &content);
        ComPtr<IAccessible> held = ClientObject(ToHwnd(hwnd));
        ASSERT_TRUE(held);
        ASSERT_EQ(ReadLong(held.Get(), &IAccessible::get_accRole), ROLE_SYSTEM_ANIMATION);

        // The window goes without the program clearing its content first.
        ASSERT_TRUE(wm.Destroy(hwnd));
        content.gone = true;
        EXPECT_EQ(AnswersThatAreNotDisconnected(held.Get()), 0);
        EXPECT_EQ(content.callsAfterGone, 0);
        held.Reset();
    }

    TEST(AccessibleComTest, AnsweringStartsComOnAThreadWithoutItAndTheBackendBalancesIt)
    {
        // A thread of its own, on which nothing has initialised COM (as under the
        // program's own movie player).
        bool made = false;
        int answered = 0;
        HRESULT after = E_FAIL;
        std::thread gui(
            [&]
            {
                {
                    auto backend = CreateBackend();
                    IWindowManager& wm = backend->Os().windows;
                    Recorder rec{ wm };
                    TestContent content;
                    WindowParams request;
                    request.className = "NorvaleTestAccessible";
                    request.style = WS_POPUP;
                    request.bounds = Rect::FromBounds(0, 0, 100, 20);
                    const Hwnd hwnd = wm.Create(request, &rec);
                    made = hwnd != Hwnd{};
                    wm.SetAccessible(hwnd, &content);
                    for (int i = 0; made && i < 3; ++i)
                    {
                        ComPtr<IAccessible> object = ClientObject(ToHwnd(hwnd));
                        if (object && ReadText([&](BSTR* out) { return object->get_accName(Self(), out); }).text == content.name)
                            ++answered;
                    }
                    wm.Destroy(hwnd);
                }
                // Nothing is left initialised: a new initialisation is the first.
                after = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
                if (SUCCEEDED(after))
                    CoUninitialize();
            });
        gui.join();
        ASSERT_TRUE(made);
        EXPECT_EQ(answered, 3);
        EXPECT_EQ(after, S_OK);
    }
} // namespace os::win32::test
