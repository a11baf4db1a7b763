// Painting through GDI: the fonts the program asks for, and the canvas that a
// window's WM_PAINT handler draws on.
#pragma once

#include "os/os.h"

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <tuple>

namespace os::win32
{
    // One HFONT per face, height and weight, made on first use and deleted with the
    // cache (windows that were given a font keep using it until then).
    class FontCache
    {
      public:
        FontCache() = default;
        FontCache(const FontCache&) = delete;
        FontCache& operator=(const FontCache&) = delete;
        ~FontCache();

        // Null when GDI cannot make the font.
        HFONT Get(const Font& font);
        std::size_t Count() const { return _fonts.size(); }

      private:
        std::map<std::tuple<std::string, int, bool>, HFONT> _fonts;
    };

    // Draws on a device context; restores what it selected into it after each call.
    class GdiCanvas final : public ICanvas
    {
      public:
        GdiCanvas(HDC dc, FontCache& fonts) : _dc(dc), _fonts(fonts) {}

        void FillRect(const Rect& r, Color c) override;
        void FrameRect(const Rect& r, Color c) override;
        void DrawBitmap(int x, int y, const Bitmap& b) override;
        void DrawString(const std::string& text, const Rect& r, const Font& f, Color c, UINT dtFlags) override;
        void DrawIcon(int x, int y, IconHandle icon) override;

      private:
        HDC _dc;
        FontCache& _fonts;
    };

    // BeginPaint .. EndPaint with `paint` drawing into a memory bitmap of the client
    // size, which is then copied to the window in one BitBlt.
    void PaintBuffered(HWND hwnd, FontCache& fonts, const std::function<void(ICanvas&)>& paint);
} // namespace os::win32
