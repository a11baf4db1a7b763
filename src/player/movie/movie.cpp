#include "player/movie/movie.h"

#include "player/movie/address.h"
#include "player/movie/text.h"

#include <lua.hpp>

#include <algorithm>
#include <cstring>

namespace player::movie
{
    std::string CheckMovie(std::string_view bytes)
    {
        if (bytes.empty())
            return "the body is empty";
        if (bytes.size() > MaxMovieBytes)
            return "larger than " + std::to_string(MaxMovieBytes) + " bytes";
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
            bytes.remove_prefix(3);
        const std::string_view signature(Signature);
        const std::size_t eol = bytes.find('\n');
        std::string_view first = bytes.substr(0, eol);
        if (!first.empty() && first.back() == '\r')
            first.remove_suffix(1);
        if (first != signature)
        {
            if (bytes.substr(0, 3) == "FWS" || bytes.substr(0, 3) == "CWS" || bytes.substr(0, 3) == "ZWS")
                return "a Flash (SWF) file, not a movie";
            if (!bytes.empty() && bytes[0] == '\x1b')
                return "a precompiled Lua chunk, not a movie";
            if (bytes.substr(0, 1) == "<")
                return "markup (an HTML page?), not a movie";
            return std::string("no '") + Signature + "' signature on the first line";
        }
        if (bytes.find('\0') != std::string_view::npos)
            return "a NUL byte in the text";
        if (!IsUtf8(bytes))
            return "not UTF-8 text";
        return {};
    }

    Movie::Movie(StageHost& host, os::IRegistry& registry, std::string address, const Limits& limits)
        : _host(&host), _store(registry, OriginOf(address)), _address(std::move(address)), _sandbox(limits, this, InstallStage)
    {
        if (!_sandbox.Ready())
            Fail("its Lua state could not be made");
        _sandbox.SetProcessorClock([this] { return _host ? _host->ProcessorMicroseconds() : 0; });
    }

    Movie::~Movie()
    {
        if (_host)
            StopHostWork();
    }

    void Movie::StopHostWork()
    {
        for (const auto& [id, slot] : _timers)
            _host->StopTimer(id);
        for (const auto& [id, slot] : _loads)
            _host->CancelLoad(id);
        if (_animating && !_paused)
            _host->Animate(false);
    }

    // A movie's own lines are capped, so that a chatty movie cannot flood the
    // trace; the line that says why it was stopped always gets through.
    void Movie::Trace(const std::string& text)
    {
        constexpr int MaxTraces = 1000;
        if (!_host || _traces > MaxTraces)
            return;
        ++_traces;
        _host->Trace("movie " + _address + ": " + (_traces > MaxTraces ? "further trace lines are dropped" : text));
    }

    void Movie::Fail(const std::string& why)
    {
        if (_failed)
            return;
        _failed = true;
        if (_host)
            _host->Trace("movie " + _address + ": stopped: " + why);
        _sandbox.Stop("stopped");
        if (_host)
        {
            StopHostWork();
            _host->SetCursor(false);
        }
        _timers.clear();
        _loads.clear();
    }

    void Movie::Detach()
    {
        if (!_failed && _host)
            StopHostWork();
        _host = nullptr;
        _failed = true;
        _sandbox.Stop("the player let the movie go");
        _timers.clear();
        _loads.clear();
    }

    void Movie::Release(int ref)
    {
        if (ref >= 0 && _sandbox.State())
            luaL_unref(_sandbox.State(), LUA_REGISTRYINDEX, ref);
    }

    bool Movie::Enter(int (*fn)(lua_State*), void* context)
    {
        if (Stopped())
            return false;
        _sandbox.BeginTurn();
        return Continue(fn, context);
    }

    bool Movie::Continue(int (*fn)(lua_State*), void* context)
    {
        if (Stopped())
            return false;
        std::string error;
        return Finish(_sandbox.Protected(fn, context, error), error);
    }

    bool Movie::Finish(Sandbox::Outcome outcome, const std::string& error)
    {
        if (outcome == Sandbox::Outcome::failed && !_failed)
            Fail(error);
        if (outcome == Sandbox::Outcome::ok && _sandbox.Depth() == 0)
            FlushVariables();
        return outcome == Sandbox::Outcome::ok && !Stopped();
    }

    bool Movie::Compile(std::string_view bytes)
    {
        if (Stopped())
            return false;
        const std::string why = CheckMovie(bytes);
        if (!why.empty())
        {
            Fail("not a movie: " + why);
            return false;
        }
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
            bytes.remove_prefix(3); // Lua does not skip a byte-order mark in a buffer
        std::string error;
        if (!_sandbox.Compile(bytes, "=movie", error))
        {
            Fail("does not compile: " + error);
            return false;
        }
        return true;
    }

    bool Movie::Run()
    {
        if (Stopped())
            return false;
        std::string error;
        const Sandbox::Outcome outcome = _sandbox.RunCompiled(error);
        return Finish(outcome, error);
    }

    namespace
    {
        struct FrameContext
        {
            int handler;
            unsigned ms;
            bool changed;
        };
        int FrameEntry(lua_State* L)
        {
            auto& c = *static_cast<FrameContext*>(lua_touserdata(L, 1));
            lua_rawgeti(L, LUA_REGISTRYINDEX, c.handler);
            lua_pushinteger(L, c.ms);
            lua_call(L, 1, 1);
            // `false` (and only that) says the picture did not change.
            c.changed = !(lua_isboolean(L, -1) && !lua_toboolean(L, -1));
            lua_pop(L, 1);
            return 0;
        }

        struct RefContext
        {
            int ref;
        };
        int CallRefEntry(lua_State* L)
        {
            auto& c = *static_cast<RefContext*>(lua_touserdata(L, 1));
            lua_rawgeti(L, LUA_REGISTRYINDEX, c.ref);
            lua_call(L, 0, 0);
            return 0;
        }

        struct PointerContext
        {
            int handler;
            const char* kind;
            int x;
            int y;
        };
        int PointerEntry(lua_State* L)
        {
            auto& c = *static_cast<PointerContext*>(lua_touserdata(L, 1));
            lua_rawgeti(L, LUA_REGISTRYINDEX, c.handler);
            lua_pushstring(L, c.kind);
            lua_pushinteger(L, c.x);
            lua_pushinteger(L, c.y);
            lua_call(L, 3, 0);
            return 0;
        }

        struct KeyContext
        {
            int handler;
            const char* name;
        };
        int KeyEntry(lua_State* L)
        {
            auto& c = *static_cast<KeyContext*>(lua_touserdata(L, 1));
            lua_rawgeti(L, LUA_REGISTRYINDEX, c.handler);
            lua_pushstring(L, c.name);
            lua_call(L, 1, 0);
            return 0;
        }

        struct VariableContext
        {
            int handler;
            const std::string* name;
            const std::string* value;
        };
        int VariableEntry(lua_State* L)
        {
            auto& c = *static_cast<VariableContext*>(lua_touserdata(L, 1));
            lua_rawgeti(L, LUA_REGISTRYINDEX, c.handler);
            lua_pushlstring(L, c.name->data(), c.name->size());
            lua_pushlstring(L, c.value->data(), c.value->size());
            lua_call(L, 2, 0);
            return 0;
        }

        struct LoadContext
        {
            int ref;
            bool ok;
            bool image;
            lua_Integer handle;
            const std::vector<std::uint8_t>* body;
            const std::string* error;
        };
        int LoadEntry(lua_State* L)
        {
            auto& c = *static_cast<LoadContext*>(lua_touserdata(L, 1));
            lua_rawgeti(L, LUA_REGISTRYINDEX, c.ref);
            if (!c.ok)
            {
                lua_pushnil(L);
                lua_pushlstring(L, c.error->data(), c.error->size());
            }
            else if (c.image)
            {
                lua_pushinteger(L, c.handle);
                lua_pushnil(L);
            }
            else
            {
                lua_pushlstring(L, reinterpret_cast<const char*>(c.body->data()), c.body->size());
                lua_pushnil(L);
            }
            lua_call(L, 2, 0);
            return 0;
        }
    } // namespace

    void Movie::Paint(os::ICanvas& canvas)
    {
        if (Stopped() || _handlers[onPaint] < 0)
            return;
        os::ICanvas* outer = _canvas;
        _canvas = &canvas;
        RefContext c{ _handlers[onPaint] };
        Enter(CallRefEntry, &c);
        _canvas = outer;
    }

    void Movie::Frame(unsigned ms)
    {
        if (Stopped() || _paused || !_animating)
            return;
        if (_handlers[onFrame] >= 0)
        {
            FrameContext c{ _handlers[onFrame], ms, true };
            if (!Enter(FrameEntry, &c) || !c.changed)
                return;
        }
        if (_host)
            _host->Redraw();
    }

    void Movie::Timer(std::uint32_t id)
    {
        if (Stopped() || _paused)
            return;
        auto it = _timers.find(id);
        if (it == _timers.end())
            return;
        RefContext c{ it->second.ref };
        if (!it->second.repeat)
        {
            _timers.erase(it);
            if (_host)
                _host->StopTimer(id);
            Enter(CallRefEntry, &c);
            Release(c.ref);
            return;
        }
        Enter(CallRefEntry, &c);
    }

    void Movie::Pointer(const char* kind, int x, int y)
    {
        if (Stopped() || _paused || _handlers[onPointer] < 0)
            return;
        PointerContext c{ _handlers[onPointer], kind, x, y };
        Enter(PointerEntry, &c);
    }

    std::size_t Movie::AddImage(os::Bitmap bitmap)
    {
        _imagePixels += static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height);
        ++_imageCount;
        for (std::size_t i = 0; i < _images.size(); ++i)
            if (_images[i].bitmap.Empty())
            {
                _images[i].bitmap = std::move(bitmap);
                return i + 1;
            }
        _images.push_back({ std::move(bitmap) });
        return _images.size();
    }

    void Movie::FreeImage(std::size_t handle)
    {
        if (handle < 1 || handle > _images.size() || _images[handle - 1].bitmap.Empty())
            return;
        os::Bitmap& b = _images[handle - 1].bitmap;
        const std::size_t pixels = static_cast<std::size_t>(b.width) * static_cast<std::size_t>(b.height);
        _imagePixels -= pixels;
        --_imageCount;
        _sandbox.Unreserve(ImageBytes(pixels));
        b = {};
    }

    void Movie::Recorder::FillRect(const os::Rect& r, os::Color c)
    {
        ops.emplace_back([=](os::ICanvas& to) { to.FillRect(r, c); });
    }
    void Movie::Recorder::FrameRect(const os::Rect& r, os::Color c)
    {
        ops.emplace_back([=](os::ICanvas& to) { to.FrameRect(r, c); });
    }
    // The picture is one of the movie's, which stays where it is until the drawing
    // has been played into the layer, right after the layer's function.
    void Movie::Recorder::DrawBitmap(int x, int y, const os::Bitmap& b)
    {
        const os::Bitmap* picture = &b;
        ops.emplace_back([=](os::ICanvas& to) { to.DrawBitmap(x, y, *picture); });
    }
    void Movie::Recorder::DrawString(const std::string& text, const os::Rect& r, const os::Font& f, os::Color c, os::UINT flags)
    {
        ops.emplace_back([=](os::ICanvas& to) { to.DrawString(text, r, f, c, flags); });
    }
    void Movie::Recorder::DrawIcon(int x, int y, os::IconHandle icon)
    {
        ops.emplace_back([=](os::ICanvas& to) { to.DrawIcon(x, y, icon); });
    }
    void Movie::Recorder::DrawWideText(int x, int y, const std::wstring& text, const os::Font& f, os::Color c)
    {
        ops.emplace_back([=](os::ICanvas& to) { to.DrawWideText(x, y, text, f, c); });
    }

    void Movie::Key(const char* name)
    {
        if (Stopped() || _paused || _handlers[onKey] < 0)
            return;
        KeyContext c{ _handlers[onKey], name };
        Enter(KeyEntry, &c);
    }

    // Like the variables, the state reaches a stopped movie too: it finds the stage
    // as it is when it plays again.
    void Movie::StateChanged()
    {
        if (Stopped() || _handlers[onState] < 0)
            return;
        RefContext c{ _handlers[onState] };
        Enter(CallRefEntry, &c);
    }

    void Movie::LoadFinished(std::uint32_t id, bool ok, std::vector<std::uint8_t> body, const std::string& error)
    {
        auto it = _loads.find(id);
        if (it == _loads.end() || Stopped())
            return;
        const LoadSlot slot = it->second;
        _loads.erase(it);
        LoadContext c{ slot.ref, ok, slot.image, 0, &body, &error };
        std::string why;
        if (ok && slot.image)
        {
            os::Bitmap bitmap = DecodeImage(body, why);
            if (bitmap.Empty())
                c.ok = false;
            else if (_imageCount >= MaxImages || _imagePixels + bitmap.pixels.size() > MaxImagePixels)
                c.ok = false, why = "too many images";
            else if (!_sandbox.Reserve(ImageBytes(bitmap.pixels.size())))
                return Fail(_sandbox.StopReason()); // a picture the movie has no memory left for
            else
                c.handle = static_cast<lua_Integer>(AddImage(std::move(bitmap)));
            if (!c.ok)
                c.error = &why;
        }
        if (slot.image)
            body = {}; // only the decoded picture is kept
        Enter(LoadEntry, &c);
        Release(slot.ref);
    }

    bool Movie::Keep(const std::string& name, const std::string& value)
    {
        constexpr std::size_t Entry = 64; // a map node and two strings
        auto it = _variables.find(name);
        const std::size_t before = it == _variables.end() ? 0 : Entry + name.size() + it->second.size();
        const std::size_t after = Entry + name.size() + value.size();
        if (after > before && !_sandbox.Reserve(after - before))
        {
            Fail(_sandbox.StopReason());
            return false;
        }
        if (it == _variables.end())
            _variables.emplace(name, value);
        else
            it->second = value;
        if (after < before)
            _sandbox.Unreserve(before - after);
        return true;
    }

    void Movie::SetVariable(const std::string& name, const std::string& value)
    {
        if (!Keep(name, value) || Stopped() || _handlers[onVariable] < 0)
            return;
        if (_pendingVariables.size() >= 64)
            _pendingVariables.pop_front();
        _pendingVariables.emplace_back(name, value);
        if (!Busy() && !_flushing)
        {
            _sandbox.BeginTurn();
            FlushVariables();
        }
    }

    std::string Movie::Variable(const std::string& name) const
    {
        auto it = _variables.find(name);
        return it == _variables.end() ? std::string{} : it->second;
    }

    void Movie::FlushVariables()
    {
        if (_flushing)
            return; // the loop below, further up the stack, delivers them
        _flushing = true;
        while (!_pendingVariables.empty() && !Stopped() && !Busy() && _handlers[onVariable] >= 0)
        {
            const auto [name, value] = std::move(_pendingVariables.front());
            _pendingVariables.pop_front();
            VariableContext c{ _handlers[onVariable], &name, &value };
            Continue(VariableEntry, &c);
        }
        _flushing = false;
    }

    bool Movie::TakeStoreWrite()
    {
        // A burst of writes, then one a second: each rewrites the origin's registry value.
        constexpr double Burst = 16;
        constexpr double PerMs = 1.0 / 1000;
        const std::uint64_t now = _host ? _host->Milliseconds() : 0;
        if (_storeRefilled == 0)
            _storeWrites = Burst;
        else
            _storeWrites = std::min(Burst, _storeWrites + static_cast<double>(now - _storeRefilled) * PerMs);
        _storeRefilled = now == 0 ? 1 : now;
        if (_storeWrites < 1)
            return false;
        _storeWrites -= 1;
        return true;
    }

    void Movie::Pause()
    {
        if (_paused)
            return;
        _paused = true;
        if (!_host)
            return;
        for (const auto& [id, slot] : _timers)
            _host->StopTimer(id);
        if (_animating)
            _host->Animate(false);
    }

    void Movie::Resume()
    {
        if (!_paused)
            return;
        _paused = false;
        if (!_host || Stopped())
            return;
        for (const auto& [id, slot] : _timers)
            _host->StartTimer(id, slot.ms);
        if (_animating)
            _host->Animate(true);
    }
} // namespace player::movie
