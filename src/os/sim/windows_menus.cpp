// The simulated window manager's popup menus and message boxes.
#include "os/sim/windows.h"
#include "os/sim/windows_detail.h"

#include <algorithm>
#include <stdexcept>

namespace os::sim
{
    using namespace detail;

    namespace
    {
        void CollectIds(const std::vector<MenuSnapshotItem>& items, const std::string& caption, const MenuSnapshotItem*& found)
        {
            for (const auto& item : items)
            {
                if (found)
                    return;
                if (!item.separator && item.text == caption)
                    found = &item;
                else
                    CollectIds(item.submenu, caption, found);
            }
        }
    } // namespace

    const MenuSnapshotItem* PopupMenuCall::Find(const std::string& caption) const
    {
        const MenuSnapshotItem* found = nullptr;
        CollectIds(items, caption, found);
        return found;
    }

    UINT PopupMenuCall::IdOf(const std::string& caption) const
    {
        const MenuSnapshotItem* item = Find(caption);
        return item ? item->id : 0;
    }

    // ------------------------------------------------------------------ menus

    MenuHandle SimWindows::CreatePopupMenu()
    {
        MenuHandle m{ _nextMenu };
        _nextMenu += 4;
        _menuItems[m];
        return m;
    }

    bool SimWindows::AppendMenuItem(MenuHandle menu, const MenuItemParams& item)
    {
        auto it = _menuItems.find(menu);
        if (it == _menuItems.end())
            return false;
        it->second.push_back(item);
        return true;
    }

    bool SimWindows::DestroyMenu(MenuHandle menu)
    {
        auto it = _menuItems.find(menu);
        if (it == _menuItems.end())
            return false;
        std::vector<MenuItemParams> items = std::move(it->second);
        _menuItems.erase(it);
        for (const auto& item : items)
            if (item.submenu != MenuHandle{})
                DestroyMenu(item.submenu);
        return true;
    }

    std::vector<MenuSnapshotItem> SimWindows::Snapshot(MenuHandle menu) const
    {
        std::vector<MenuSnapshotItem> out;
        auto it = _menuItems.find(menu);
        if (it == _menuItems.end())
            return out;
        for (const auto& item : it->second)
        {
            MenuSnapshotItem s{ item.id, item.text, item.separator, item.checked, item.enabled, item.radio, {} };
            if (item.submenu != MenuHandle{})
                s.submenu = Snapshot(item.submenu);
            out.push_back(std::move(s));
        }
        return out;
    }

    UINT SimWindows::TrackPopupMenu(MenuHandle menu, UINT flags, Point at, Hwnd owner)
    {
        if (_menuItems.find(menu) == _menuItems.end())
            return 0;
        PopupMenuCall call{ at, owner, flags, Snapshot(menu), 0 };
        const std::size_t index = _menus.size();
        _menus.push_back(call);
        ++_modalDepth;
        PumpMessages(); // the menu's own loop dispatches what is already waiting
        UINT chosen = onPopupMenu ? onPopupMenu(call) : 0;
        --_modalDepth;
        // Only enabled command items can be chosen.
        const MenuSnapshotItem* item = nullptr;
        std::vector<const std::vector<MenuSnapshotItem>*> stack{ &call.items };
        while (!stack.empty() && chosen != 0 && !item)
        {
            const auto* items = stack.back();
            stack.pop_back();
            for (const auto& i : *items)
            {
                if (!i.separator && i.submenu.empty() && i.id == chosen)
                    item = &i;
                else if (!i.submenu.empty())
                    stack.push_back(&i.submenu);
            }
        }
        if (!item || !item->enabled)
            chosen = 0;
        _menus[index].chosen = chosen;
        if (flags & tpm::returncmd)
            return chosen;
        if (chosen != 0 && !(flags & tpm::nonotify))
            Post(owner, wm::command, chosen, 0);
        return chosen != 0 ? 1 : 0;
    }

    MenuHandle SimWindows::GetSystemMenu(Hwnd hwnd, bool revert)
    {
        Window* w = Find(hwnd);
        if (!w)
            return MenuHandle{};
        if (revert || w->systemMenu == MenuHandle{})
        {
            if (w->systemMenu != MenuHandle{})
                DestroyMenu(w->systemMenu);
            w->systemMenu = CreatePopupMenu();
            for (UINT cmd : { sc::restore, sc::move, sc::size, sc::minimize, sc::maximize, sc::close })
                AppendMenuItem(w->systemMenu, { cmd, "", false, false, true, false, {} });
        }
        return revert ? MenuHandle{} : w->systemMenu;
    }

    bool SimWindows::DeleteMenu(MenuHandle menu, UINT item, UINT flags)
    {
        auto it = _menuItems.find(menu);
        if (it == _menuItems.end())
            return false;
        auto& items = it->second;
        if (flags & mf::byposition)
        {
            if (item >= items.size())
                return false;
            items.erase(items.begin() + item);
            return true;
        }
        return std::erase_if(items, [&](const MenuItemParams& s) { return s.id == item; }) > 0;
    }

    std::vector<UINT> SimWindows::SystemMenuCommands(Hwnd hwnd) const
    {
        std::vector<UINT> out;
        const Window* w = Find(hwnd);
        if (!w || w->systemMenu == MenuHandle{})
            return { sc::restore, sc::move, sc::size, sc::minimize, sc::maximize, sc::close };
        for (const auto& item : _menuItems.at(w->systemMenu))
            out.push_back(item.id);
        return out;
    }

    // ------------------------------------------------------------------ message boxes

    int SimWindows::ShowMessageBox(Hwnd owner, const std::string& text, const std::string& caption, UINT flags)
    {
        MessageBoxCall call{ owner, text, caption, flags, 0, _clock.Now() };
        const std::size_t index = _boxes.size();
        _boxes.push_back(call);
        const bool disableOwner = owner != Hwnd{} && Find(owner) && IsWindowEnabled(owner);
        if (disableOwner)
            EnableWindow(owner, false);
        ++_modalDepth;
        PumpMessages();
        int answer = 0;
        if (onMessageBox)
            answer = onMessageBox(call);
        else
        {
            switch (flags & mb::typemask)
            {
            case mb::yesno: answer = id::no; break;
            case mb::okcancel: answer = id::cancel; break;
            default: answer = id::ok; break;
            }
        }
        --_modalDepth;
        if (disableOwner && Find(owner))
            EnableWindow(owner, true);
        _boxes[index].answer = answer;
        return answer;
    }
} // namespace os::sim
