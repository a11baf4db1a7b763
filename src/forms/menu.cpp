#include "forms/menu.h"

#include "forms/application.h"
#include "forms/form.h"

namespace forms
{
    MenuItem::MenuItem(Application& app, std::string name, std::string caption)
        : _app(app), _name(std::move(name)), _caption(std::move(caption)), _command(app.AddCommand(*this))
    {
    }

    MenuItem::~MenuItem()
    {
        _app.RemoveCommand(_command);
        if (_parent)
            std::erase(_parent->_items, this);
        for (MenuItem* child : _items)
            child->_parent = nullptr;
    }

    void MenuItem::Add(MenuItem& child)
    {
        if (child._parent)
            std::erase(child._parent->_items, &child);
        child._parent = this;
        _items.push_back(&child);
    }

    void MenuItem::SetChecked(bool checked)
    {
        _checked = checked;
        if (checked && _radio && _parent)
            for (MenuItem* sibling : _parent->_items)
                if (sibling != this && sibling->_radio && sibling->_group == _group)
                    sibling->_checked = false;
    }

    void MenuItem::Click()
    {
        if (!_enabled)
            return;
        if (_autoCheck)
            SetChecked(!_checked);
        if (OnClick)
            OnClick(*this);
    }

    PopupMenu::PopupMenu(Application& app, std::string name) : _app(app), _name(std::move(name)), _root(app, _name + ".Items", "")
    {
    }

    os::MenuHandle PopupMenu::Build(const MenuItem& parent)
    {
        auto& windows = _app.Os().windows;
        const os::MenuHandle menu = windows.CreatePopupMenu();
        for (const MenuItem* item : parent.Items())
        {
            if (!item->Visible())
                continue;
            os::MenuItemParams params;
            params.id = item->Command();
            params.text = item->Caption();
            params.separator = item->IsSeparator();
            params.checked = item->Checked();
            params.enabled = item->Enabled();
            params.radio = item->RadioItem();
            if (!item->Items().empty())
                params.submenu = Build(*item);
            windows.AppendMenuItem(menu, params);
        }
        return menu;
    }

    void PopupMenu::Popup(int x, int y)
    {
        auto& windows = _app.Os().windows;
        const os::MenuHandle menu = Build(_root);
        const os::Hwnd owner = _popupComponent ? _popupComponent->Handle() : _app.Handle();
        const os::UINT chosen =
            windows.TrackPopupMenu(menu, os::tpm::leftalign | os::tpm::rightbutton | os::tpm::returncmd, { x, y }, owner);
        windows.DestroyMenu(menu); // submenus go with it
        if (chosen != 0)
            _app.PostCommand(chosen);
    }
} // namespace forms
