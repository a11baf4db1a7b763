// Popup menus and their items. A chosen item's click runs from the message loop
// after the menu has returned, as with the classic libraries.
#pragma once

#include "os/types.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace forms
{
    class Application;
    class Form;

    class MenuItem
    {
      public:
        MenuItem(Application& app, std::string name, std::string caption);
        MenuItem(const MenuItem&) = delete;
        MenuItem& operator=(const MenuItem&) = delete;
        ~MenuItem();

        const std::string& Name() const { return _name; }
        const std::string& Caption() const { return _caption; }
        void SetCaption(const std::string& caption) { _caption = caption; }
        bool IsSeparator() const { return _caption == "-"; }
        bool Checked() const { return _checked; }
        // Checking a radio item unchecks the other radio items of its group.
        void SetChecked(bool checked);
        bool Enabled() const { return _enabled; }
        void SetEnabled(bool enabled) { _enabled = enabled; }
        bool Visible() const { return _visible; }
        void SetVisible(bool visible) { _visible = visible; }
        bool RadioItem() const { return _radio; }
        void SetRadioItem(bool radio) { _radio = radio; }
        int GroupIndex() const { return _group; }
        void SetGroupIndex(int group) { _group = group; }
        // A click toggles the check mark before the handler runs.
        bool AutoCheck() const { return _autoCheck; }
        void SetAutoCheck(bool autoCheck) { _autoCheck = autoCheck; }
        std::intptr_t Tag() const { return _tag; }
        void SetTag(std::intptr_t tag) { _tag = tag; }

        void Add(MenuItem& child);
        const std::vector<MenuItem*>& Items() const { return _items; }
        MenuItem* Parent() const { return _parent; }
        os::UINT Command() const { return _command; }

        std::function<void(MenuItem& sender)> OnClick;
        // What a choice of the item does: the auto-check, then OnClick.
        void Click();

      private:
        Application& _app;
        std::string _name;
        std::string _caption;
        bool _checked = false;
        bool _enabled = true;
        bool _visible = true;
        bool _radio = false;
        bool _autoCheck = false;
        int _group = 0;
        std::intptr_t _tag = 0;
        std::vector<MenuItem*> _items;
        MenuItem* _parent = nullptr;
        os::UINT _command;
    };

    class PopupMenu
    {
      public:
        PopupMenu(Application& app, std::string name);
        PopupMenu(const PopupMenu&) = delete;
        PopupMenu& operator=(const PopupMenu&) = delete;

        MenuItem& Items() { return _root; }
        // The form on whose behalf the menu runs; it owns the menu window.
        void SetPopupComponent(Form* form) { _popupComponent = form; }
        Form* PopupComponent() const { return _popupComponent; }
        // Runs the menu with its top-left corner at a screen point, until the user
        // chooses or dismisses it.
        void Popup(int x, int y);

      private:
        os::MenuHandle Build(const MenuItem& parent);

        Application& _app;
        std::string _name;
        MenuItem _root;
        Form* _popupComponent = nullptr;
    };
} // namespace forms
