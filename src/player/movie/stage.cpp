// The stage API: the functions a movie calls (docs/movies.md). Each one reads its
// arguments first (which may raise a Lua error), does the C++ work inside Guard
// (which catches everything, so no exception meets a Lua frame), and only then
// pushes results or raises an error, when no C++ object is alive in its frame.
#include "forms/jpeg.h"
#include "forms/picture.h"
#include "player/movie/address.h"
#include "player/movie/movie.h"
#include "player/movie/text.h"

#include <lua.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace player::movie
{
    os::Bitmap DecodeImage(const std::vector<std::uint8_t>& bytes, std::string& why)
    {
        os::Bitmap b;
        if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        {
            bool tooLarge = false;
            b = forms::DecodeJpeg(bytes, "image", MaxImageSide, &tooLarge);
            if (b.Empty())
                why = tooLarge ? "the image is larger than 4096 pixels a side" : "the image does not decode";
            return b;
        }
        if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M')
        {
            why = "not a JPEG or BMP image";
            return {};
        }
        b = forms::DecodeBmp(bytes, "image");
        if (b.Empty())
            why = "the image does not decode";
        else if (b.width > MaxImageSide || b.height > MaxImageSide)
        {
            why = "the image is larger than 4096 pixels a side";
            return {};
        }
        return b;
    }

    namespace
    {
        constexpr std::size_t MaxLoads = 8;
        constexpr std::size_t MaxTimers = 64;
        constexpr std::size_t MaxText = 4096;

        // What the host's work for a stage call costs the turn, in instructions
        // (ten million take about a tenth of a second): so many host calls cost as
        // much as the script work they stand for.
        constexpr lua_Integer CallCost = 100;       // any call that reaches the host
        constexpr lua_Integer PerCharacter = 8;     // measuring or drawing text
        constexpr lua_Integer LoadCost = 20'000;    // a download started
        constexpr lua_Integer StoreCost = 20'000;   // a store written (the registry)
        constexpr lua_Integer FSCommandCost = 1000; // an FS command raised
        constexpr lua_Integer LayerCost = 1000;     // a picture rendered (and one per 64 pixels)

        // Charges the turn, or unwinds the movie when its budget is spent.
        void Pay(lua_State* L, lua_Integer units)
        {
            if (!Sandbox::Of(L).Charge(units))
                Sandbox::Unwind(L);
        }

        template <typename F> bool Guard(F&& f) noexcept
        {
            try
            {
                f();
                return true;
            }
            catch (...)
            {
                return false;
            }
        }

        int Coordinate(lua_State* L, int i)
        {
            const lua_Number n = luaL_checknumber(L, i);
            if (!(n > -1e6))
                return -1000000;
            if (!(n < 1e6))
                return 1000000;
            return static_cast<int>(std::floor(n));
        }

        os::Color Colour(lua_State* L, int i)
        {
            const auto rgb = static_cast<std::uint32_t>(luaL_checkinteger(L, i) & 0xFFFFFF);
            return os::Rgb(static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>(rgb & 0xFF));
        }

        struct FontArgs
        {
            char face[64] = "Arial";
            int size = 12;
            bool bold = false;
        };

        void ReadFont(lua_State* L, int i, FontArgs& f)
        {
            if (lua_isnoneornil(L, i))
                return;
            luaL_checktype(L, i, LUA_TTABLE);
            if (lua_getfield(L, i, "face") == LUA_TSTRING)
            {
                std::size_t n = 0;
                const char* s = lua_tolstring(L, -1, &n);
                n = std::min(n, sizeof f.face - 1);
                std::memcpy(f.face, s, n);
                f.face[n] = '\0';
            }
            lua_pop(L, 1);
            if (lua_getfield(L, i, "size") == LUA_TNUMBER)
            {
                // NaN has no integer: it leaves the default size.
                const lua_Number size = lua_tonumber(L, -1);
                if (!std::isnan(size))
                    f.size = static_cast<int>(std::clamp<lua_Number>(size, 1, 400));
            }
            lua_pop(L, 1);
            lua_getfield(L, i, "bold");
            f.bold = lua_toboolean(L, -1);
            lua_pop(L, 1);
            if (lua_getfield(L, i, "weight") == LUA_TNUMBER)
                f.bold = f.bold || lua_tonumber(L, -1) >= 600;
            lua_pop(L, 1);
        }

        // The font of a movie's size in 96-dpi units, made at the stage's DPI.
        os::Font ToFont(const FontArgs& f, int dpi)
        {
            return os::Font{ f.face, -os::ScaleForDpi(f.size, dpi), f.bold };
        }

        // A movie's coordinate in the stage's pixels, and back.
        int ToPixels(int units, int dpi)
        {
            return os::ScaleForDpi(units, dpi);
        }
        int ToUnits(int pixels, int dpi)
        {
            return os::MulDiv(pixels, os::DefaultDpi, dpi);
        }

    } // namespace

    // The functions a movie calls: static members of a friend of Movie, so that
    // the movie's state stays its own and these.
    class Stage
    {
      public:
        static Movie& M(lua_State* L) { return *static_cast<Movie*>(Sandbox::Of(L).Owner()); }

        // The movie can still talk to its host, and pays for the call; it unwinds otherwise.
        static Movie& Live(lua_State* L, lua_Integer cost = CallCost)
        {
            Movie& m = M(L);
            if (!m._host || m.Stopped())
                Sandbox::Unwind(L);
            Pay(L, cost);
            return m;
        }

        // The stage's DPI; 96 when the host cannot tell.
        static int Dpi(Movie& m)
        {
            int dpi = os::DefaultDpi;
            Guard([&] { dpi = m._host->Dpi(); });
            return dpi > 0 ? dpi : os::DefaultDpi;
        }

        static os::ICanvas& Canvas(lua_State* L, Movie& m, const char* what)
        {
            if (!m._canvas)
                luaL_error(L, "%s draws only inside the paint callback or a layer's function", what);
            return *m._canvas;
        }

        // ------------------------------------------------------------ the stage

        static int Width(lua_State* L)
        {
            Movie& m = Live(L);
            os::Size size{};
            Guard([&] { size = m._host->StageSize(); });
            lua_pushinteger(L, ToUnits(size.cx, Dpi(m)));
            return 1;
        }

        static int Height(lua_State* L)
        {
            Movie& m = Live(L);
            os::Size size{};
            Guard([&] { size = m._host->StageSize(); });
            lua_pushinteger(L, ToUnits(size.cy, Dpi(m)));
            return 1;
        }

        // How many of the stage's pixels a 96-dpi unit is: 1 at 96 dpi, 2 at 192.
        static int Scale(lua_State* L)
        {
            Movie& m = Live(L);
            lua_pushnumber(L, static_cast<lua_Number>(Dpi(m)) / os::DefaultDpi);
            return 1;
        }

        static int On(lua_State* L)
        {
            Movie& m = Live(L);
            static const char* const events[] = { "paint", "frame", "pointer", "variable", "key", "state", nullptr };
            const int event = luaL_checkoption(L, 1, nullptr, events);
            if (!lua_isnoneornil(L, 2))
                luaL_checktype(L, 2, LUA_TFUNCTION);
            int ref = LUA_NOREF;
            if (!lua_isnoneornil(L, 2))
            {
                lua_pushvalue(L, 2);
                ref = luaL_ref(L, LUA_REGISTRYINDEX);
            }
            if (m._handlers[event] >= 0)
                luaL_unref(L, LUA_REGISTRYINDEX, m._handlers[event]);
            m._handlers[event] = ref;
            return 0;
        }

        static int Redraw(lua_State* L)
        {
            Movie& m = Live(L);
            Guard([&] { m._host->Redraw(); });
            return 0;
        }

        static int Animate(lua_State* L)
        {
            Movie& m = Live(L);
            const bool on = lua_toboolean(L, 1);
            if (on != m._animating)
            {
                m._animating = on;
                if (!m._paused)
                    Guard([&] { m._host->Animate(on); });
            }
            return 0;
        }

        static int Fill(lua_State* L)
        {
            Movie& m = Live(L);
            const int x = Coordinate(L, 1), y = Coordinate(L, 2), w = Coordinate(L, 3), h = Coordinate(L, 4);
            const os::Color c = Colour(L, 5);
            os::ICanvas& canvas = Canvas(L, m, "stage.fill");
            // The edges are scaled, not the size, so that fills side by side meet.
            const int dpi = Dpi(m);
            const os::Rect r{ ToPixels(x, dpi), ToPixels(y, dpi), ToPixels(x + w, dpi), ToPixels(y + h, dpi) };
            if (w > 0 && h > 0)
                Guard([&] { canvas.FillRect(r, c); });
            return 0;
        }

        static int Text(lua_State* L)
        {
            std::size_t n = 0;
            const char* s = luaL_checklstring(L, 3, &n);
            Movie& m = Live(L, CallCost + PerCharacter * static_cast<lua_Integer>(std::min(n, MaxText)));
            const int x = Coordinate(L, 1), y = Coordinate(L, 2);
            FontArgs f;
            ReadFont(L, 4, f);
            const os::Color c = lua_isnoneornil(L, 5) ? 0 : Colour(L, 5);
            os::ICanvas& canvas = Canvas(L, m, "stage.text");
            const int dpi = Dpi(m);
            Guard(
                [&]
                {
                    canvas.DrawWideText(ToPixels(x, dpi), ToPixels(y, dpi), Utf8ToWide(std::string_view(s, std::min(n, MaxText))),
                                        ToFont(f, dpi), c);
                });
            return 0;
        }

        static int Measure(lua_State* L)
        {
            std::size_t n = 0;
            const char* s = luaL_checklstring(L, 1, &n);
            Movie& m = Live(L, CallCost + PerCharacter * static_cast<lua_Integer>(std::min(n, MaxText)));
            FontArgs f;
            ReadFont(L, 2, f);
            os::Size size{};
            const int dpi = Dpi(m);
            Guard([&] { size = m._host->Measure(Utf8ToWide(std::string_view(s, std::min(n, MaxText))), ToFont(f, dpi)); });
            lua_pushinteger(L, ToUnits(size.cx, dpi));
            lua_pushinteger(L, ToUnits(size.cy, dpi));
            return 2;
        }

        static const os::Bitmap* ImageArg(lua_State* L, Movie& m, int i)
        {
            const lua_Integer handle = luaL_checkinteger(L, i);
            if (handle < 1 || handle > static_cast<lua_Integer>(m._images.size()) ||
                m._images[static_cast<std::size_t>(handle - 1)].bitmap.Empty())
                luaL_error(L, "not an image");
            return &m._images[static_cast<std::size_t>(handle - 1)].bitmap;
        }

        static int Image(lua_State* L)
        {
            Movie& m = Live(L);
            const os::Bitmap* b = ImageArg(L, m, 1);
            Pay(L, static_cast<lua_Integer>(static_cast<std::size_t>(b->width) * static_cast<std::size_t>(b->height) / 64));
            const int x = Coordinate(L, 2), y = Coordinate(L, 3);
            os::ICanvas& canvas = Canvas(L, m, "stage.image");
            // At its place on the scaled stage, pixel for pixel: never stretched.
            const int dpi = Dpi(m);
            Guard([&] { canvas.DrawBitmap(ToPixels(x, dpi), ToPixels(y, dpi), *b); });
            return 0;
        }

        // A picture the movie draws once and shows again and again with stage.image:
        // `draw` runs at once with stage.fill, text and image drawing into it, and
        // the host renders that drawing into a picture of the stage's pixels.
        static int Layer(lua_State* L)
        {
            Movie& m = Live(L, LayerCost);
            const lua_Number wn = luaL_checknumber(L, 1), hn = luaL_checknumber(L, 2);
            luaL_checktype(L, 3, LUA_TFUNCTION);
            if (m._canvas == &m._recorder)
                return luaL_error(L, "stage.layer inside a layer's function");
            if (!(wn >= 1 && wn <= MaxImageSide && hn >= 1 && hn <= MaxImageSide))
                return luaL_error(L, "a layer is 1 to %d units a side", MaxImageSide);
            const int dpi = Dpi(m);
            const int w = ToPixels(static_cast<int>(wn), dpi), h = ToPixels(static_cast<int>(hn), dpi);
            const std::size_t pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
            if (m._imageCount >= MaxImages || m._imagePixels + pixels > MaxImagePixels)
            {
                lua_pushnil(L);
                lua_pushliteral(L, "too many images");
                return 2;
            }
            Pay(L, static_cast<lua_Integer>(pixels / 64));
            if (!m._sandbox.Reserve(ImageBytes(pixels)))
                Sandbox::Unwind(L); // the movie has no memory left for it
            os::ICanvas* const outer = m._canvas;
            m._recorder.ops.clear();
            m._canvas = &m._recorder;
            lua_pushvalue(L, 3);
            const int status = lua_pcall(L, 0, 0, 0);
            m._canvas = outer;
            lua_Integer handle = 0;
            Guard(
                [&]
                {
                    if (status == LUA_OK)
                    {
                        os::Bitmap b = m._host->Render({ w, h },
                                                       [&](os::ICanvas& canvas)
                                                       {
                                                           for (const auto& op : m._recorder.ops)
                                                               op(canvas);
                                                       });
                        if (!b.Empty())
                            handle = static_cast<lua_Integer>(m.AddImage(std::move(b)));
                    }
                    m._recorder.ops.clear();
                });
            if (handle == 0)
                m._sandbox.Unreserve(ImageBytes(pixels));
            if (status != LUA_OK)
                return lua_error(L); // the function's own error, or the end of the movie, goes on
            if (handle == 0)
            {
                lua_pushnil(L);
                lua_pushliteral(L, "the layer could not be made");
                return 2;
            }
            lua_pushinteger(L, handle);
            return 1;
        }

        // Lets a picture (an image or a layer) go: its handle is no image after.
        static int Free(lua_State* L)
        {
            Movie& m = Live(L);
            const lua_Integer handle = luaL_checkinteger(L, 1);
            if (m._canvas == &m._recorder)
                return luaL_error(L, "stage.free inside a layer's function");
            Guard([&] { m.FreeImage(static_cast<std::size_t>(std::max<lua_Integer>(handle, 0))); });
            return 0;
        }

        static int ImageSize(lua_State* L)
        {
            Movie& m = Live(L);
            const os::Bitmap* b = ImageArg(L, m, 1);
            lua_pushinteger(L, b->width);
            lua_pushinteger(L, b->height);
            return 2;
        }

        static int AddTimer(lua_State* L, bool repeat)
        {
            Movie& m = Live(L);
            const lua_Integer ms = std::clamp<lua_Integer>(luaL_checkinteger(L, 1), 10, 86'400'000);
            luaL_checktype(L, 2, LUA_TFUNCTION);
            if (m._timers.size() >= MaxTimers)
                return luaL_error(L, "too many timers (%d at most)", static_cast<int>(MaxTimers));
            lua_pushvalue(L, 2);
            const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
            const std::uint32_t id = ++m._nextTimer;
            const bool ok = Guard(
                [&]
                {
                    m._timers[id] = { ref, static_cast<unsigned>(ms), repeat };
                    if (!m._paused)
                        m._host->StartTimer(id, static_cast<unsigned>(ms));
                });
            if (!ok)
            {
                luaL_unref(L, LUA_REGISTRYINDEX, ref);
                return luaL_error(L, "the timer could not start");
            }
            lua_pushinteger(L, id);
            return 1;
        }
        static int After(lua_State* L) { return AddTimer(L, false); }
        static int Every(lua_State* L) { return AddTimer(L, true); }

        static int Cancel(lua_State* L)
        {
            Movie& m = Live(L);
            const lua_Integer id = luaL_checkinteger(L, 1);
            auto it = id > 0 && id <= 0xFFFFFFFF ? m._timers.find(static_cast<std::uint32_t>(id)) : m._timers.end();
            if (it == m._timers.end())
                return 0;
            const int ref = it->second.ref;
            m._timers.erase(it);
            Guard([&] { m._host->StopTimer(static_cast<std::uint32_t>(id)); });
            luaL_unref(L, LUA_REGISTRYINDEX, ref);
            return 0;
        }

        static int Cursor(lua_State* L)
        {
            Movie& m = Live(L);
            static const char* const shapes[] = { "arrow", "hand", nullptr };
            const bool hand = luaL_checkoption(L, 1, nullptr, shapes) == 1;
            Guard([&] { m._host->SetCursor(hand); });
            return 0;
        }

        // The headline the movie presents: its text and its link (both cut to what
        // the host takes). The host hears the last one named in a turn, once.
        static int Headline(lua_State* L)
        {
            std::size_t n = 0, ln = 0;
            const char* text = luaL_checklstring(L, 1, &n);
            const char* link = luaL_optlstring(L, 2, "", &ln);
            Movie& m = Live(L, CallCost + PerCharacter * static_cast<lua_Integer>(std::min(n, MaxText)));
            Guard([&] { m._host->Headline(std::string(text, std::min(n, MaxText)), std::string(link, std::min(ln, MaxText))); });
            return 0;
        }

        static void SetColourField(lua_State* L, const char* name, os::Color c)
        {
            // 0x00BBGGRR to a movie's 0xRRGGBB
            lua_pushinteger(L, static_cast<lua_Integer>((c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF)));
            lua_setfield(L, -2, name);
        }

        // What the host asks of the stage: a fresh table each call.
        static int State(lua_State* L)
        {
            Movie& m = Live(L);
            os::StageState s;
            bool focused = false, reading = false;
            Guard(
                [&]
                {
                    s = m._host->State();
                    focused = m._host->Focused();
                    reading = m._host->Reading();
                });
            lua_createtable(L, 0, 7);
            lua_pushboolean(L, s.paused);
            lua_setfield(L, -2, "paused");
            lua_pushboolean(L, s.hidden);
            lua_setfield(L, -2, "hidden");
            lua_pushboolean(L, s.reducedMotion);
            lua_setfield(L, -2, "reduced_motion");
            lua_pushboolean(L, focused);
            lua_setfield(L, -2, "focused");
            lua_pushboolean(L, reading);
            lua_setfield(L, -2, "reading");
            lua_pushboolean(L, s.highContrast);
            lua_setfield(L, -2, "high_contrast");
            if (s.highContrast)
            {
                lua_createtable(L, 0, 5);
                SetColourField(L, "window", s.window);
                SetColourField(L, "text", s.text);
                SetColourField(L, "highlight", s.highlight);
                SetColourField(L, "highlight_text", s.highlightText);
                SetColourField(L, "hot", s.hotTrack);
                lua_setfield(L, -2, "colours");
            }
            return 1;
        }

        static int Get(lua_State* L)
        {
            Movie& m = Live(L);
            std::size_t n = 0;
            const char* name = luaL_checklstring(L, 1, &n);
            Guard([&] { m._scratch = m.Variable(std::string(name, n)); });
            lua_pushlstring(L, m._scratch.data(), m._scratch.size());
            return 1;
        }

        static int Set(lua_State* L)
        {
            Movie& m = Live(L);
            std::size_t n = 0;
            const char* name = luaL_checklstring(L, 1, &n);
            luaL_checkany(L, 2);
            std::size_t vn = 0;
            const char* value = luaL_tolstring(L, 2, &vn);
            Pay(L, static_cast<lua_Integer>((n + vn) / 16));
            bool kept = false;
            if (!Guard([&] { kept = m.Keep(std::string(name, n), std::string(value, vn)); }))
                return luaL_error(L, "the variable could not be set");
            if (!kept) // its bytes are charged to the movie's memory, which they would pass
                Sandbox::Unwind(L);
            return 0;
        }

        static int FSCommand(lua_State* L)
        {
            Movie& m = Live(L, FSCommandCost);
            std::size_t cn = 0;
            std::size_t an = 0;
            const char* command = luaL_checklstring(L, 1, &cn);
            const char* args = luaL_optlstring(L, 2, "", &an);
            // The host's handler may keep the command for long (a box waiting for the
            // user): that time is not the script's.
            Sandbox& sandbox = m._sandbox;
            sandbox.PauseClock();
            Guard([&] { m._host->FSCommand(Utf8ToWide(std::string_view(command, cn)), Utf8ToWide(std::string_view(args, an))); });
            sandbox.ResumeClock();
            if (!m._host || m.Stopped() || sandbox.Interrupting())
                Sandbox::Unwind(L);
            return 0;
        }

        static int Address(lua_State* L)
        {
            Movie& m = M(L);
            lua_pushlstring(L, m._address.data(), m._address.size());
            return 1;
        }

        static int Load(lua_State* L, bool image)
        {
            Movie& m = Live(L, LoadCost);
            std::size_t n = 0;
            const char* ref = luaL_checklstring(L, 1, &n);
            luaL_checktype(L, 2, LUA_TFUNCTION);
            if (m._loads.size() >= MaxLoads)
            {
                luaL_pushfail(L);
                lua_pushliteral(L, "too many loads at once");
                return 2;
            }
            const std::uint32_t id = ++m._nextLoad;
            bool allowed = false;
            Guard(
                [&]
                {
                    std::string why;
                    auto url = ResolveAddress(m._address, std::string(ref, n), why);
                    // Pictures come from anywhere, as on the web (their bytes never
                    // reach the script); text only from the movie's own origin, so
                    // that no movie reads a page of the user's network.
                    if (url && !image && OriginOf(*url) != OriginOf(m._address))
                        url.reset(), why = "a movie reads text only from its own origin (" + OriginOf(m._address) + ")";
                    m._scratch = url ? *url : why;
                    allowed = url.has_value();
                });
            if (!allowed)
            {
                Guard([&]
                      { m.Trace("refused a load of '" + std::string(ref, std::min<std::size_t>(n, 200)) + "': " + m._scratch); });
                luaL_pushfail(L);
                lua_pushlstring(L, m._scratch.data(), m._scratch.size());
                return 2;
            }
            lua_pushvalue(L, 2);
            const int fn = luaL_ref(L, LUA_REGISTRYINDEX);
            bool started = false;
            Guard(
                [&]
                {
                    m._loads[id] = { fn, image };
                    started = m._host->StartLoad(id, m._scratch, image ? (4u << 20) : (1u << 20), image);
                    if (!started)
                        m._loads.erase(id);
                });
            if (!started)
            {
                luaL_unref(L, LUA_REGISTRYINDEX, fn);
                luaL_pushfail(L);
                lua_pushliteral(L, "the load could not start");
                return 2;
            }
            lua_pushboolean(L, 1);
            return 1;
        }
        static int LoadText(lua_State* L) { return Load(L, false); }
        static int LoadImage(lua_State* L) { return Load(L, true); }

        static int StoreGet(lua_State* L)
        {
            Movie& m = Live(L);
            std::size_t n = 0;
            const char* key = luaL_checklstring(L, 1, &n);
            int type = LUA_TNIL;
            double number = 0;
            bool flag = false;
            Guard(
                [&]
                {
                    const auto value = m._store.Get(std::string(key, n));
                    if (!value)
                        return;
                    if (const auto* s = std::get_if<std::string>(&*value))
                        m._scratch = *s, type = LUA_TSTRING;
                    else if (const auto* d = std::get_if<double>(&*value))
                        number = *d, type = LUA_TNUMBER;
                    else
                        flag = std::get<bool>(*value), type = LUA_TBOOLEAN;
                });
            if (type == LUA_TSTRING)
                lua_pushlstring(L, m._scratch.data(), m._scratch.size());
            else if (type == LUA_TNUMBER)
                lua_pushnumber(L, number);
            else if (type == LUA_TBOOLEAN)
                lua_pushboolean(L, flag);
            else
                lua_pushnil(L);
            return 1;
        }

        static int StoreSet(lua_State* L)
        {
            Movie& m = Live(L, StoreCost);
            std::size_t n = 0;
            const char* key = luaL_checklstring(L, 1, &n);
            const int type = lua_type(L, 2);
            std::size_t vn = 0;
            const char* text = nullptr;
            if (type == LUA_TSTRING)
                text = lua_tolstring(L, 2, &vn);
            else if (type != LUA_TNIL && type != LUA_TNONE && type != LUA_TNUMBER && type != LUA_TBOOLEAN)
                return luaL_error(L, "the store keeps strings, numbers and booleans");
            if (vn > MaxText)
                return luaL_error(L, "a stored string is %d bytes at most", static_cast<int>(MaxText));
            const lua_Number number = type == LUA_TNUMBER ? lua_tonumber(L, 2) : 0;
            const bool flag = lua_toboolean(L, 2);
            if (!m.TakeStoreWrite())
            {
                luaL_pushfail(L);
                lua_pushliteral(L, "the store is written too often (16 writes at once, then one a second)");
                return 2;
            }
            bool ok = false;
            Guard(
                [&]
                {
                    std::optional<StoreValue> value;
                    if (type == LUA_TSTRING)
                        value = std::string(text, vn);
                    else if (type == LUA_TNUMBER)
                        value = static_cast<double>(number);
                    else if (type == LUA_TBOOLEAN)
                        value = flag;
                    ok = m._store.Set(std::string(key, n), value, m._scratch);
                });
            if (!ok)
            {
                luaL_pushfail(L);
                lua_pushlstring(L, m._scratch.data(), m._scratch.size());
                return 2;
            }
            lua_pushboolean(L, 1);
            return 1;
        }

        static int Print(lua_State* L)
        {
            Movie& m = Live(L);
            const int n = lua_gettop(L);
            luaL_Buffer b;
            luaL_buffinit(L, &b);
            for (int i = 1; i <= n; ++i)
            {
                luaL_tolstring(L, i, nullptr);
                if (i > 1)
                    luaL_addchar(&b, '\t');
                luaL_addvalue(&b);
            }
            luaL_pushresult(&b);
            std::size_t len = 0;
            const char* s = lua_tolstring(L, -1, &len);
            Pay(L, static_cast<lua_Integer>(len / 16));
            Guard([&] { m.Trace(std::string(s, std::min<std::size_t>(len, 512))); });
            return 0;
        }
    };

    namespace
    {
        const luaL_Reg StageFunctions[] = {
            { "width", Stage::Width },
            { "height", Stage::Height },
            { "scale", Stage::Scale },
            { "on", Stage::On },
            { "redraw", Stage::Redraw },
            { "animate", Stage::Animate },
            { "fill", Stage::Fill },
            { "text", Stage::Text },
            { "image", Stage::Image },
            { "measure", Stage::Measure },
            { "after", Stage::After },
            { "every", Stage::Every },
            { "cancel", Stage::Cancel },
            { "cursor", Stage::Cursor },
            { "headline", Stage::Headline },
            { "state", Stage::State },
            { "get", Stage::Get },
            { "set", Stage::Set },
            { "fscommand", Stage::FSCommand },
            { "address", Stage::Address },
            { "load_text", Stage::LoadText },
            { "load_image", Stage::LoadImage },
            { "image_size", Stage::ImageSize },
            { "layer", Stage::Layer },
            { "free", Stage::Free },
            { "store_get", Stage::StoreGet },
            { "store_set", Stage::StoreSet },
            { "trace", Stage::Print },
            { nullptr, nullptr },
        };
    } // namespace

    int InstallStage(lua_State* L)
    {
        const int base = lua_gettop(L);
        luaL_newlib(L, StageFunctions);
        MakeReadOnly(L);
        lua_setfield(L, base, "stage");
        lua_pushcfunction(L, Stage::FSCommand);
        lua_setfield(L, base, "fscommand");
        lua_pushcfunction(L, Stage::Print);
        lua_setfield(L, base, "print");
        return 0;
    }
} // namespace player::movie
