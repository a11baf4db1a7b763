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
        void DrawWideText(int x, int y, const std::wstring& text, const Font& f, Color c) override;

      private:
        HDC _dc;
        FontCache& _fonts;
    };

    // `paint` drawn once into a 32-bit picture of this size, white first; empty
    // when GDI cannot make one.
    Bitmap RenderBitmap(FontCache& fonts, Size size, const std::function<void(ICanvas&)>& paint);

    // The off-screen surface that paints are composed on: one memory DC with a bitmap
    // at least as large as the largest client area painted so far, kept between
    // paints so that a window repainting at frame rate does not make and delete a
    // bitmap each time.
    class BackBuffer
    {
      public:
        BackBuffer() = default;
        BackBuffer(const BackBuffer&) = delete;
        BackBuffer& operator=(const BackBuffer&) = delete;
        ~BackBuffer();

        // A memory DC compatible with `screen` holding at least width x height
        // pixels; null when GDI cannot make one.
        HDC Get(HDC screen, int width, int height);
        bool InUse() const { return _inUse; }
        void SetInUse(bool inUse) { _inUse = inUse; }

      private:
        void Release();

        HDC _dc = nullptr;
        HBITMAP _bitmap = nullptr;
        HGDIOBJ _old = nullptr;
        int _width = 0;
        int _height = 0;
        bool _inUse = false;
    };

    // BeginPaint .. EndPaint with `paint` drawing off-screen, on `buffer` (or, when a
    // paint runs inside another one's, on a bitmap of its own), shown with one BitBlt
    // of the invalid part.
    void PaintBuffered(HWND hwnd, FontCache& fonts, BackBuffer& buffer, const std::function<void(ICanvas&)>& paint);
    // The same outside WM_PAINT, through the window's device context: the whole client.
    void PaintBufferedNow(HWND hwnd, FontCache& fonts, BackBuffer& buffer, const std::function<void(ICanvas&)>& paint);

    // Measures text as the screen shows it, on a memory DC compatible with the screen
    // that is made once and kept: a movie may measure its text every frame, and
    // taking and releasing the screen's own DC each time costs more than the
    // measuring (under Wine, a trip to the X server's settings each time).
    class TextMeasurer
    {
      public:
        TextMeasurer() = default;
        TextMeasurer(const TextMeasurer&) = delete;
        TextMeasurer& operator=(const TextMeasurer&) = delete;
        ~TextMeasurer();

        // The extent of one line of text in `font`; {0, 0} when GDI fails.
        Size Measure(const std::wstring& text, HFONT font);

      private:
        HDC _dc = nullptr;
    };
} // namespace os::win32
