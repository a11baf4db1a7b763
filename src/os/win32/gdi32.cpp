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

    // ------------------------------------------------------------------ WM_PAINT

    void PaintBuffered(HWND hwnd, FontCache& fonts, const std::function<void(ICanvas&)>& paint)
    {
        PaintScope scope(hwnd);
        if (!scope.Dc())
            return;
        RECT client{};
        ::GetClientRect(hwnd, &client);
        const int width = client.right - client.left;
        const int height = client.bottom - client.top;
        if (width <= 0 || height <= 0)
            return;
        MemoryDc memory(scope.Dc());
        if (!memory.Get())
            return;
        OwnedObject bitmap(CreateCompatibleBitmap(scope.Dc(), width, height));
        if (!bitmap)
            return;
        Selection target(memory.Get(), bitmap.Get());
        {
            GdiCanvas canvas(memory.Get(), fonts);
            paint(canvas);
        }
        const RECT& dirty = scope.Dirty();
        BitBlt(scope.Dc(), dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, memory.Get(), dirty.left,
               dirty.top, SRCCOPY);
    }
} // namespace os::win32
