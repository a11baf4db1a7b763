// Popup menus and the system menu under the real window manager.
#include "os/win32/backend.h"
#include "os/win32/common.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <memory>

namespace os::win32::test
{
    namespace
    {
        struct ItemState
        {
            UINT id = 0;
            UINT type = 0;
            UINT state = 0;
            HMENU submenu = nullptr;
            std::wstring text;
        };

        ItemState Item(HMENU menu, UINT position)
        {
            wchar_t text[64] = {};
            MENUITEMINFOW info{};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
            info.dwTypeData = text;
            info.cch = 64;
            EXPECT_TRUE(GetMenuItemInfoW(menu, position, TRUE, &info));
            return { info.wID, info.fType, info.fState, info.hSubMenu, text };
        }
    } // namespace

    TEST(MenuTest, PopupWithItemsAndSubmenuIsBuiltAndDestroyedWhole)
    {
        auto backend = CreateBackend();
        IWindowManager& wm = backend->Os().windows;

        const MenuHandle sub = wm.CreatePopupMenu();
        ASSERT_NE(sub, MenuHandle{});
        ASSERT_TRUE(wm.AppendMenuItem(sub, { 21, "Inner", false, false, true, false, {} }));
        const MenuHandle menu = wm.CreatePopupMenu();
        ASSERT_TRUE(wm.AppendMenuItem(menu, { 11, "Alpha", false, true, true, true, {} }));
        ASSERT_TRUE(wm.AppendMenuItem(menu, { 0, "", true, false, true, false, {} }));
        ASSERT_TRUE(wm.AppendMenuItem(menu, { 13, "Gamma", false, false, false, false, {} }));
        ASSERT_TRUE(wm.AppendMenuItem(menu, { 14, "More", false, false, true, false, sub }));

        HMENU h = ToHmenu(menu);
        ASSERT_EQ(GetMenuItemCount(h), 4);
        const ItemState alpha = Item(h, 0);
        EXPECT_EQ(alpha.id, 11u);
        EXPECT_EQ(alpha.text, L"Alpha");
        EXPECT_NE(alpha.type & MFT_RADIOCHECK, 0u);
        EXPECT_NE(alpha.state & MFS_CHECKED, 0u);
        EXPECT_EQ(alpha.state & MFS_GRAYED, 0u);
        EXPECT_NE(Item(h, 1).type & MFT_SEPARATOR, 0u);
        const ItemState gamma = Item(h, 2);
        EXPECT_EQ(gamma.text, L"Gamma");
        EXPECT_EQ(gamma.state & MFS_GRAYED, static_cast<UINT>(MFS_GRAYED));
        EXPECT_EQ(gamma.state & MFS_CHECKED, 0u);
        EXPECT_EQ(gamma.type & MFT_RADIOCHECK, 0u);
        const ItemState more = Item(h, 3);
        EXPECT_EQ(more.submenu, ToHmenu(sub));
        EXPECT_EQ(more.text, L"More");
        EXPECT_EQ(Item(ToHmenu(sub), 0).text, L"Inner");

        // Not a menu: nothing to append to.
        EXPECT_FALSE(wm.AppendMenuItem(MenuHandle{ 0x1234 }, { 1, "x", false, false, true, false, {} }));

        ASSERT_TRUE(wm.DestroyMenu(menu));
        EXPECT_FALSE(IsMenu(h));
        EXPECT_FALSE(IsMenu(ToHmenu(sub))); // destroyed with the menu that holds it
    }

    TEST(MenuTest, DeleteMenuRemovesByCommandOrPosition)
    {
        auto backend = CreateBackend();
        IWindowManager& wm = backend->Os().windows;
        const MenuHandle menu = wm.CreatePopupMenu();
        for (UINT id : { 1u, 2u, 3u })
            wm.AppendMenuItem(menu, { id, "Item " + std::to_string(id), false, false, true, false, {} });

        EXPECT_TRUE(wm.DeleteMenu(menu, 2, mf::bycommand));
        EXPECT_EQ(GetMenuItemCount(ToHmenu(menu)), 2);
        EXPECT_EQ(Item(ToHmenu(menu), 1).id, 3u);
        EXPECT_TRUE(wm.DeleteMenu(menu, 0, mf::byposition));
        EXPECT_EQ(Item(ToHmenu(menu), 0).id, 3u);
        EXPECT_FALSE(wm.DeleteMenu(menu, 99, mf::bycommand));
        wm.DestroyMenu(menu);
    }

    TEST(MenuTest, SystemMenuCommandsCanBeRemoved)
    {
        auto backend = CreateBackend();
        IWindowManager& wm = backend->Os().windows;
        Recorder rec{ wm };
        WindowParams request;
        request.className = "NorvaleMenuTest";
        request.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        request.bounds = Rect::FromBounds(0, 0, 100, 100);
        const Hwnd hwnd = wm.Create(request, &rec);
        ASSERT_NE(hwnd, Hwnd{});

        const MenuHandle system = wm.GetSystemMenu(hwnd, false);
        ASSERT_NE(system, MenuHandle{});
        EXPECT_NE(GetMenuState(ToHmenu(system), SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
        EXPECT_TRUE(wm.DeleteMenu(system, sc::close, mf::bycommand));
        EXPECT_EQ(GetMenuState(ToHmenu(system), SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
        // Reverting gives the default menu back and answers no menu.
        EXPECT_EQ(wm.GetSystemMenu(hwnd, true), MenuHandle{});
        EXPECT_NE(GetMenuState(ToHmenu(wm.GetSystemMenu(hwnd, false)), SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
        wm.Destroy(hwnd);
    }
} // namespace os::win32::test
