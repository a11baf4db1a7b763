#include "os/win32/gdi32.h"

#include "os/win32/common.h"

#include <climits>

namespace os::win32
{
    namespace
    {
        // A GDI object that this code made and deletes.
        class OwnedObject
        {
          public:
            explicit OwnedObject(HGDIOBJ object) : _object(object) {}
            OwnedObject(const OwnedObject&) = delete;
            OwnedObject& operator=(const OwnedObject&) = delete;
            ~OwnedObject()
            {
                if (_object)
                    DeleteObject(_object);
            }
            HGDIOBJ Get() const { return _object; }
            explicit operator bool() const { return _object != nullptr; }

          private:
            HGDIOBJ _object;
        };

        // An object selected into a DC for the lifetime of the selection.
        class Selection
        {
          public:
            Selection(HDC dc, HGDIOBJ object) : _dc(dc), _old(object ? SelectObject(dc, object) : nullptr) {}
            Selection(const Selection&) = delete;
            Selection& operator=(const Selection&) = delete;
            ~Selection()
            {
                if (_old && _old != HGDI_ERROR)
                    SelectObject(_dc, _old);
            }

          private:
            HDC _dc;
            HGDIOBJ _old;
        };

        class MemoryDc
        {
          public:
            explicit MemoryDc(HDC compatible) : _dc(CreateCompatibleDC(compatible)) {}
            MemoryDc(const MemoryDc&) = delete;
            MemoryDc& operator=(const MemoryDc&) = delete;
            ~MemoryDc()
            {
                if (_dc)
                    DeleteDC(_dc);
            }
            HDC Get() const { return _dc; }

          private:
            HDC _dc;
        };

        class PaintScope
        {
          public:
            explicit PaintScope(HWND hwnd) : _hwnd(hwnd), _dc(BeginPaint(hwnd, &_ps)) {}
            PaintScope(const PaintScope&) = delete;
            PaintScope& operator=(const PaintScope&) = delete;
            ~PaintScope() { EndPaint(_hwnd, &_ps); }
            HDC Dc() const { return _dc; }
            const RECT& Dirty() const { return _ps.rcPaint; }

          private:
            HWND _hwnd;
            PAINTSTRUCT _ps{};
            HDC _dc;
        };

        // The window's device context outside WM_PAINT; the whole client is drawn.
        class WindowDcScope
        {
          public:
            explicit WindowDcScope(HWND hwnd) : _hwnd(hwnd), _dc(GetDC(hwnd)) { ::GetClientRect(hwnd, &_client); }
            WindowDcScope(const WindowDcScope&) = delete;
            WindowDcScope& operator=(const WindowDcScope&) = delete;
            ~WindowDcScope()
            {
                if (_dc)
                    ReleaseDC(_hwnd, _dc);
            }
            HDC Dc() const { return _dc; }
            const RECT& Dirty() const { return _client; }

          private:
            HWND _hwnd;
            HDC _dc;
            RECT _client{};
        };

        // GDI colours are COLORREFs, as os::Color.
        COLORREF ToColorref(Color c)
        {
            return static_cast<COLORREF>(c & 0x00FFFFFF);
        }
    } // namespace

    // ------------------------------------------------------------------ fonts

    FontCache::~FontCache()
    {
        for (auto& [key, font] : _fonts)
            if (font)
                DeleteObject(font);
    }

    HFONT FontCache::Get(const Font& font)
    {
        auto key = std::make_tuple(font.face, font.height, font.bold);
        if (auto it = _fonts.find(key); it != _fonts.end())
            return it->second;
        std::wstring face = Widen(font.face);
        if (face.size() >= LF_FACESIZE)
            face.resize(LF_FACESIZE - 1);
        HFONT made =
            CreateFontW(font.height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
        if (made)
            _fonts.emplace(std::move(key), made);
        return made;
    }

    // ------------------------------------------------------------------ canvas

    void GdiCanvas::FillRect(const Rect& r, Color c)
    {
        OwnedObject brush(CreateSolidBrush(ToColorref(c)));
        if (!brush)
            return;
        const RECT rc = ToRECT(r);
        ::FillRect(_dc, &rc, static_cast<HBRUSH>(brush.Get()));
    }

    void GdiCanvas::FrameRect(const Rect& r, Color c)
    {
        OwnedObject brush(CreateSolidBrush(ToColorref(c)));
        if (!brush)
            return;
        const RECT rc = ToRECT(r);
        ::FrameRect(_dc, &rc, static_cast<HBRUSH>(brush.Get()));
    }

    void GdiCanvas::DrawBitmap(int x, int y, const Bitmap& b)
    {
        if (b.Empty() || static_cast<std::size_t>(b.width) * static_cast<std::size_t>(b.height) > b.pixels.size())
            return;
        // 0x00RRGGBB in little-endian memory is B, G, R, 0: a 32-bit BI_RGB DIB.
        // A negative height makes the rows top-down, as the bitmap holds them.
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = b.width;
        info.bmiHeader.biHeight = -b.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        StretchDIBits(_dc, x, y, b.width, b.height, 0, 0, b.width, b.height, b.pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    }

    Bitmap RenderBitmap(FontCache& fonts, Size size, const std::function<void(ICanvas&)>& paint)
    {
        if (size.cx <= 0 || size.cy <= 0 || size.cx > 16384 || size.cy > 16384 ||
            static_cast<std::int64_t>(size.cx) * size.cy > (64 << 20))
            return {};
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = size.cx;
        info.bmiHeader.biHeight = -size.cy; // top-down, as a Bitmap holds its rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        HDC dc = CreateCompatibleDC(nullptr);
        if (!dc)
            return {};
        void* bits = nullptr;
        HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        Bitmap b;
        if (dib && bits)
        {
            const HGDIOBJ old = SelectObject(dc, dib);
            GdiCanvas canvas(dc, fonts);
            canvas.FillRect(Rect::FromBounds(0, 0, size.cx, size.cy), Rgb(255, 255, 255));
            paint(canvas);
            GdiFlush();
            const std::size_t count = static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy);
            const auto* from = static_cast<const std::uint32_t*>(bits);
            b.width = size.cx;
            b.height = size.cy;
            b.pixels.resize(count);
            // B, G, R, x in memory: 0x00RRGGBB once the unused byte is cleared.
            for (std::size_t i = 0; i < count; ++i)
                b.pixels[i] = from[i] & 0x00FFFFFFu;
            b.name = "rendered";
            SelectObject(dc, old);
        }
        if (dib)
            DeleteObject(dib);
        DeleteDC(dc);
        return b;
    }

    void GdiCanvas::DrawString(const std::string& text, const Rect& r, const Font& f, Color c, UINT dtFlags)
    {
        std::wstring wide = Widen(text);
        if (wide.empty() || wide.size() > INT_MAX)
            return;
        RECT rc = ToRECT(r);
        Selection font(_dc, _fonts.Get(f));
        const int oldMode = SetBkMode(_dc, TRANSPARENT);
        const COLORREF oldColor = SetTextColor(_dc, ToColorref(c));
        DrawTextW(_dc, wide.data(), static_cast<int>(wide.size()), &rc, dtFlags);
        SetTextColor(_dc, oldColor);
        SetBkMode(_dc, oldMode);
    }

    void GdiCanvas::DrawIcon(int x, int y, IconHandle icon)
    {
        if (icon != IconHandle{})
            ::DrawIcon(_dc, x, y, ToHicon(icon));
    }

    void GdiCanvas::DrawWideText(int x, int y, const std::wstring& text, const Font& f, Color c)
    {
        if (text.empty() || text.size() > INT_MAX)
            return;
        Selection font(_dc, _fonts.Get(f));
        const UINT oldAlign = SetTextAlign(_dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
        const int oldMode = SetBkMode(_dc, TRANSPARENT);
        const COLORREF oldColor = SetTextColor(_dc, ToColorref(c));
        ExtTextOutW(_dc, x, y, 0, nullptr, text.data(), static_cast<UINT>(text.size()), nullptr);
        SetTextColor(_dc, oldColor);
        SetBkMode(_dc, oldMode);
        if (oldAlign != GDI_ERROR)
            SetTextAlign(_dc, oldAlign);
    }

    TextMeasurer::~TextMeasurer()
    {
        if (_dc)
            DeleteDC(_dc);
    }

    Size TextMeasurer::Measure(const std::wstring& text, HFONT font)
    {
        if (text.size() > INT_MAX)
            return {};
        if (!_dc)
            _dc = CreateCompatibleDC(nullptr);
        if (!_dc)
            return {};
        // Without a font, the extent in the DC's own font, which is what a canvas
        // draws such text in.
        Selection selected(_dc, font);
        SIZE size{};
        if (!GetTextExtentPoint32W(_dc, text.data(), static_cast<int>(text.size()), &size))
            return {};
        return { size.cx, size.cy };
    }

    // ------------------------------------------------------------------ WM_PAINT

    BackBuffer::~BackBuffer()
    {
        Release();
    }

    void BackBuffer::Release()
    {
        if (_dc && _old)
            SelectObject(_dc, _old);
        if (_bitmap)
            DeleteObject(_bitmap);
        if (_dc)
            DeleteDC(_dc);
        _dc = nullptr;
        _bitmap = nullptr;
        _old = nullptr;
        _width = _height = 0;
    }

    HDC BackBuffer::Get(HDC screen, int width, int height)
    {
        if (_dc && width <= _width && height <= _height)
            return _dc;
        // Grows to hold both the old and the new size, so that two windows of
        // different shapes painting in turn do not remake it each time.
        const int newWidth = width > _width ? width : _width;
        const int newHeight = height > _height ? height : _height;
        Release();
        _dc = CreateCompatibleDC(screen);
        if (!_dc)
            return nullptr;
        _bitmap = CreateCompatibleBitmap(screen, newWidth, newHeight);
        _old = _bitmap ? SelectObject(_dc, _bitmap) : nullptr;
        if (!_old || _old == HGDI_ERROR)
        {
            _old = nullptr;
            Release();
            return nullptr;
        }
        _width = newWidth;
        _height = newHeight;
        return _dc;
    }

    namespace
    {
        // Draws the invalid part of the window on `memory` and copies it to the window.
        // It starts from black, as a new bitmap would, so that what a paint leaves
        // uncovered never shows an earlier paint of another window.
        template <typename Scope>
        void Compose(const Scope& scope, HDC memory, FontCache& fonts, const std::function<void(ICanvas&)>& paint)
        {
            const RECT& dirty = scope.Dirty();
            const int width = dirty.right - dirty.left;
            const int height = dirty.bottom - dirty.top;
            const int saved = SaveDC(memory);
            IntersectClipRect(memory, dirty.left, dirty.top, dirty.right, dirty.bottom);
            PatBlt(memory, dirty.left, dirty.top, width, height, BLACKNESS);
            {
                GdiCanvas canvas(memory, fonts);
                paint(canvas);
            }
            if (saved)
                RestoreDC(memory, saved);
            BitBlt(scope.Dc(), dirty.left, dirty.top, width, height, memory, dirty.left, dirty.top, SRCCOPY);
        }

        template <typename Scope>
        void DrawBuffered(HWND hwnd, FontCache& fonts, BackBuffer& buffer, const std::function<void(ICanvas&)>& paint)
        {
            Scope scope(hwnd);
            if (!scope.Dc())
                return;
            RECT client{};
            ::GetClientRect(hwnd, &client);
            const int width = client.right - client.left;
            const int height = client.bottom - client.top;
            if (width <= 0 || height <= 0)
                return;
            if (!buffer.InUse())
            {
                HDC memory = buffer.Get(scope.Dc(), width, height);
                if (!memory)
                    return;
                buffer.SetInUse(true);
                struct Done
                {
                    BackBuffer& buffer;
                    ~Done() { buffer.SetInUse(false); }
                } done{ buffer };
                Compose(scope, memory, fonts, paint);
                return;
            }
            // A paint inside another window's paint (its handler updated a window): a
            // bitmap of its own for this one.
            MemoryDc memory(scope.Dc());
            if (!memory.Get())
                return;
            OwnedObject bitmap(CreateCompatibleBitmap(scope.Dc(), width, height));
            if (!bitmap)
                return;
            Selection target(memory.Get(), bitmap.Get());
            Compose(scope, memory.Get(), fonts, paint);
        }
    } // namespace

    void PaintBuffered(HWND hwnd, FontCache& fonts, BackBuffer& buffer, const std::function<void(ICanvas&)>& paint)
    {
        DrawBuffered<PaintScope>(hwnd, fonts, buffer, paint);
    }

    void PaintBufferedNow(HWND hwnd, FontCache& fonts, BackBuffer& buffer, const std::function<void(ICanvas&)>& paint)
    {
        DrawBuffered<WindowDcScope>(hwnd, fonts, buffer, paint);
    }
} // namespace os::win32
