// GDI drawing: the canvas on a 32-bit DIB whose pixels the test reads directly, and
// Paint inside a real WM_PAINT.
#include "os/win32/backend.h"
#include "os/win32/common.h"
#include "os/win32/gdi32.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <memory>

namespace os::win32::test
{
    namespace
    {
        // A top-down 32-bit DIB section selected into a memory DC.
        class Surface
        {
          public:
            Surface(int width, int height) : _width(width), _height(height)
            {
                BITMAPINFO info{};
                info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
                info.bmiHeader.biWidth = width;
                info.bmiHeader.biHeight = -height;
                info.bmiHeader.biPlanes = 1;
                info.bmiHeader.biBitCount = 32;
                info.bmiHeader.biCompression = BI_RGB;
                _dc = CreateCompatibleDC(nullptr);
                _bitmap = CreateDIBSection(_dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&_bits), nullptr, 0);
                _old = SelectObject(_dc, _bitmap);
            }
            Surface(const Surface&) = delete;
            Surface& operator=(const Surface&) = delete;
            ~Surface()
            {
                SelectObject(_dc, _old);
                DeleteObject(_bitmap);
                DeleteDC(_dc);
            }
            HDC Dc() const { return _dc; }
            // 0x00RRGGBB
            std::uint32_t At(int x, int y) const
            {
                GdiFlush();
                return _bits[y * _width + x] & 0x00FFFFFF;
            }
            int Count(std::uint32_t pixel, const Rect& r) const
            {
                int n = 0;
                for (int y = r.top; y < r.bottom; ++y)
                    for (int x = r.left; x < r.right; ++x)
                        n += At(x, y) == pixel ? 1 : 0;
                return n;
            }
            int Width() const { return _width; }
            int Height() const { return _height; }

          private:
            int _width;
            int _height;
            HDC _dc = nullptr;
            HBITMAP _bitmap = nullptr;
            HGDIOBJ _old = nullptr;
            std::uint32_t* _bits = nullptr;
        };

        constexpr std::uint32_t kRed = 0xFF0000;
        constexpr std::uint32_t kGreen = 0x008000;
        constexpr std::uint32_t kBlue = 0x0000FF;
        constexpr std::uint32_t kWhite = 0xFFFFFF;
        constexpr std::uint32_t kBlack = 0x000000;
    } // namespace

    TEST(CanvasTest, FillAndFrameColourExactlyTheirPixels)
    {
        Surface s(40, 30);
        FontCache fonts;
        GdiCanvas canvas(s.Dc(), fonts);

        canvas.FillRect({ 0, 0, 40, 30 }, Rgb(255, 255, 255));
        canvas.FillRect({ 5, 6, 15, 16 }, Rgb(255, 0, 0));
        canvas.FrameRect({ 20, 5, 30, 15 }, Rgb(0, 0, 255));

        // COLORREF 0x00BBGGRR lands as the pixel 0x00RRGGBB; right and bottom are exclusive.
        EXPECT_EQ(s.At(5, 6), kRed);
        EXPECT_EQ(s.At(14, 15), kRed);
        EXPECT_EQ(s.At(15, 15), kWhite);
        EXPECT_EQ(s.At(14, 16), kWhite);
        EXPECT_EQ(s.Count(kRed, { 0, 0, 40, 30 }), 100);
        // A one-pixel frame inside the rectangle.
        EXPECT_EQ(s.At(20, 5), kBlue);
        EXPECT_EQ(s.At(29, 14), kBlue);
        EXPECT_EQ(s.At(21, 6), kWhite);
        EXPECT_EQ(s.At(30, 15), kWhite);
        EXPECT_EQ(s.Count(kBlue, { 0, 0, 40, 30 }), 36);
    }

    TEST(CanvasTest, BitmapRowsAreTopDownAndPixelsRgb)
    {
        Surface s(10, 10);
        FontCache fonts;
        GdiCanvas canvas(s.Dc(), fonts);
        canvas.FillRect({ 0, 0, 10, 10 }, Rgb(255, 255, 255));

        Bitmap b;
        b.width = 3;
        b.height = 2;
        b.pixels = { 0x112233, 0x445566, 0x778899, //
                     0xAABBCC, 0xDDEEFF, 0x010203 };
        canvas.DrawBitmap(4, 5, b);

        EXPECT_EQ(s.At(4, 5), 0x112233u);
        EXPECT_EQ(s.At(6, 5), 0x778899u);
        EXPECT_EQ(s.At(4, 6), 0xAABBCCu);
        EXPECT_EQ(s.At(6, 6), 0x010203u);
        EXPECT_EQ(s.At(3, 5), kWhite);
        EXPECT_EQ(s.At(7, 6), kWhite);
        EXPECT_EQ(s.At(4, 7), kWhite);

        // A bitmap whose pixels do not fill its size is not drawn.
        Bitmap broken;
        broken.width = 4;
        broken.height = 4;
        broken.pixels = { 0x000000 };
        canvas.DrawBitmap(0, 0, broken);
        EXPECT_EQ(s.At(0, 0), kWhite);
    }

    // A rendered picture holds what was drawn, white around it, and shows pixel for
    // pixel where a canvas draws it; a size of nothing gives nothing.
    TEST(CanvasTest, ARenderedPictureHoldsItsDrawingAndShowsItExactly)
    {
        FontCache fonts;
        const Bitmap b = RenderBitmap(fonts, { 6, 4 },
                                      [](ICanvas& c)
                                      {
                                          c.FillRect({ 1, 1, 3, 3 }, Rgb(0x11, 0x22, 0x33));
                                          c.DrawWideText(0, 0, L"", { "Arial", -10, false }, Rgb(0, 0, 0));
                                      });
        ASSERT_EQ(b.width, 6);
        ASSERT_EQ(b.height, 4);
        ASSERT_EQ(b.pixels.size(), 24u);
        EXPECT_EQ(b.pixels[0], kWhite) << "white first";
        EXPECT_EQ(b.pixels[1 * 6 + 1], 0x112233u);
        EXPECT_EQ(b.pixels[2 * 6 + 2], 0x112233u);
        EXPECT_EQ(b.pixels[3 * 6 + 3], kWhite);

        Surface s(10, 10);
        GdiCanvas canvas(s.Dc(), fonts);
        canvas.FillRect({ 0, 0, 10, 10 }, Rgb(0, 0, 0));
        canvas.DrawBitmap(2, 3, b);
        EXPECT_EQ(s.At(3, 4), 0x112233u);
        EXPECT_EQ(s.At(2, 3), kWhite);
        EXPECT_EQ(s.At(8, 3), 0x000000u) << "nothing beyond its width";

        EXPECT_TRUE(RenderBitmap(fonts, { 0, 4 }, [](ICanvas&) {}).Empty());
        EXPECT_TRUE(RenderBitmap(fonts, { 20000, 4 }, [](ICanvas&) {}).Empty());
    }

    TEST(CanvasTest, TextIsDrawnInItsColourOnATransparentBackgroundInsideItsRectangle)
    {
        Surface s(120, 40);
        FontCache fonts;
        GdiCanvas canvas(s.Dc(), fonts);
        canvas.FillRect({ 0, 0, 120, 40 }, Rgb(0, 128, 0));

        const Rect box{ 10, 5, 100, 30 };
        canvas.DrawString("WWWW", box, { "Arial", -16, true }, Rgb(0, 0, 0), DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);

        EXPECT_GT(s.Count(kBlack, box), 10) << "no text drawn";
        // Transparent: the cells around the glyphs keep the green (an opaque
        // background would be the DC's white).
        EXPECT_EQ(s.Count(kWhite, { 0, 0, 120, 40 }), 0);
        EXPECT_EQ(s.Count(kGreen, { 0, 0, 120, 5 }), 120 * 5);
        EXPECT_EQ(s.Count(kGreen, { 100, 0, 120, 40 }), 20 * 40);
        // The DC is left as it was: the default font and opaque mode.
        EXPECT_EQ(GetBkMode(s.Dc()), OPAQUE);
        EXPECT_EQ(GetCurrentObject(s.Dc(), OBJ_FONT), GetStockObject(SYSTEM_FONT));
        EXPECT_EQ(fonts.Count(), 1u);
    }

    TEST(CanvasTest, WideTextIsDrawnFromItsTopLeftInsideTheExtentMeasuredForIt)
    {
        Surface s(220, 50);
        FontCache fonts;
        GdiCanvas canvas(s.Dc(), fonts);
        canvas.FillRect({ 0, 0, 220, 50 }, Rgb(0, 128, 0));
        auto backend = CreateBackend();
        IWindowManager& wm = backend->Os().windows;

        // Headlines are not ASCII: Cyrillic and accented Latin in one line.
        const Font font{ "Tahoma", -16, false };
        const std::wstring text = L"\x0416\x0443\x0440\x043D\x0430\x043B caf\x00E9";
        const Size extent = wm.MeasureText(text, font);
        ASSERT_GT(extent.cx, 40);
        ASSERT_GE(extent.cy, 16);
        ASSERT_LT(extent.cx, 180);
        canvas.DrawWideText(30, 12, text, font, Rgb(255, 255, 255));

        const Rect box{ 30, 12, 30 + extent.cx, 12 + extent.cy };
        EXPECT_GT(s.Count(kWhite, box), 30) << "no text drawn";
        // Nothing outside the measured box, and the background inside it kept.
        EXPECT_EQ(s.Count(kGreen, { 0, 0, 220, 50 }) - s.Count(kGreen, box), 220 * 50 - box.Width() * box.Height())
            << "text drawn outside its measured extent";
        EXPECT_GT(s.Count(kGreen, box), box.Width() * box.Height() / 3) << "the background was painted";
        // The DC is left as it was.
        EXPECT_EQ(GetBkMode(s.Dc()), OPAQUE);
        EXPECT_EQ(GetTextAlign(s.Dc()), static_cast<UINT>(TA_TOP | TA_LEFT | TA_NOUPDATECP));
        EXPECT_EQ(GetCurrentObject(s.Dc(), OBJ_FONT), GetStockObject(SYSTEM_FONT));

        // Text past the surface's edge is clipped, not wrapped or refused.
        canvas.DrawWideText(200, 12, text, font, Rgb(255, 0, 0));
        EXPECT_GT(s.Count(kRed, { 200, 12, 220, 50 }), 0);
        EXPECT_EQ(s.Count(kRed, { 0, 0, 200, 50 }), 0);
    }

    TEST(CanvasTest, MeasuredExtentsAddUpAndFollowTheFont)
    {
        auto backend = CreateBackend();
        IWindowManager& wm = backend->Os().windows;
        const Font regular{ "Tahoma", -13, false };
        const Font large{ "Tahoma", -26, false };

        const Size ab = wm.MeasureText(L"Norv", regular);
        const Size cd = wm.MeasureText(L"ale \x2014 \x65B0\x805E", regular);
        const Size abcd = wm.MeasureText(L"Norvale \x2014 \x65B0\x805E", regular);
        ASSERT_GT(ab.cx, 0);
        ASSERT_GT(cd.cx, 0);
        EXPECT_EQ(abcd.cx, ab.cx + cd.cx) << "characters, not bytes, are measured";
        EXPECT_EQ(abcd.cy, ab.cy);
        EXPECT_EQ(wm.MeasureText(L"", regular).cx, 0);
        // As the screen measures it.
        FontCache fonts;
        HDC screen = GetDC(nullptr);
        ASSERT_NE(screen, nullptr);
        HGDIOBJ old = SelectObject(screen, fonts.Get(regular));
        SIZE onScreen{};
        const std::wstring text = L"Norvale \x2014 \x65B0\x805E";
        GetTextExtentPoint32W(screen, text.data(), static_cast<int>(text.size()), &onScreen);
        SelectObject(screen, old);
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(abcd, (Size{ onScreen.cx, onScreen.cy }));
        const Size big = wm.MeasureText(L"Norv", large);
        EXPECT_GE(big.cy, 26);
        EXPECT_GT(big.cx, ab.cx * 3 / 2);
    }

    TEST(CanvasTest, FontsAreMadeOncePerFaceHeightAndWeight)
    {
        FontCache fonts;
        HFONT a = fonts.Get({ "Arial", -11, false });
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(fonts.Get({ "Arial", -11, false }), a);
        EXPECT_NE(fonts.Get({ "Arial", -11, true }), a);
        EXPECT_NE(fonts.Get({ "Arial", -12, false }), a);
        EXPECT_NE(fonts.Get({ "Tahoma", -11, false }), a);
        EXPECT_EQ(fonts.Count(), 4u);
        LOGFONTW lf{};
        GetObjectW(fonts.Get({ "Arial", -11, true }), sizeof(lf), &lf);
        EXPECT_EQ(lf.lfWeight, FW_BOLD);
        EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
    }

    namespace
    {
        // The window's WM_PAINT paints nothing and counts itself in `painted`.
        void CountPaints(IWindowManager& wm, Recorder& rec, int& painted)
        {
            rec.handlers[WM_PAINT] = [&wm, &painted](Hwnd h, WPARAM, LPARAM) -> std::optional<LRESULT>
            {
                wm.Paint(h, [&painted](ICanvas&) { ++painted; });
                return 0;
            };
        }

        // A shown 64 x 48 topmost popup whose procedure is `rec`.
        Hwnd MakeShownWindow(IWindowManager& wm, Recorder& rec)
        {
            WindowParams request;
            request.className = "NorvalePaintTest";
            request.style = WS_POPUP | WS_VISIBLE;
            request.exStyle = WS_EX_TOPMOST;
            request.bounds = Rect::FromBounds(0, 0, 64, 48);
            return wm.Create(request, &rec);
        }
    } // namespace

    TEST(PaintTest, PaintDrawsTheWholeClientAreaAndValidatesIt)
    {
        auto backend = CreateBackend();
        IWindowManager& wm = backend->Os().windows;
        Recorder rec{ wm };
        int painted = 0;
        rec.handlers[WM_PAINT] = [&](Hwnd h, WPARAM, LPARAM) -> std::optional<LRESULT>
        {
            wm.Paint(h,
                     [&](ICanvas& canvas)
                     {
                         ++painted;
                         canvas.FillRect({ 0, 0, 64, 48 }, Rgb(0, 0, 255));
                         canvas.FillRect({ 10, 10, 20, 20 }, Rgb(255, 0, 0));
                     });
            return 0;
        };
        const Hwnd hwnd = MakeShownWindow(wm, rec);
        ASSERT_NE(hwnd, Hwnd{});
        wm.UpdateWindow(hwnd);
        wm.PumpMessages();
        ASSERT_GE(painted, 1);

        // Nothing is left to paint, and a new invalidation paints again.
        RECT dirty{};
        EXPECT_FALSE(GetUpdateRect(ToHwnd(hwnd), &dirty, FALSE));
        const int before = painted;
        wm.InvalidateRect(hwnd, nullptr);
        wm.UpdateWindow(hwnd);
        EXPECT_EQ(painted, before + 1);

        HDC dc = GetDC(ToHwnd(hwnd));
        ASSERT_NE(dc, nullptr);
        const COLORREF inside = GetPixel(dc, 15, 15);
        const COLORREF outside = GetPixel(dc, 40, 30);
        ReleaseDC(ToHwnd(hwnd), dc);
        EXPECT_EQ(inside, RGB(255, 0, 0));
        EXPECT_EQ(outside, RGB(0, 0, 255));
        wm.Destroy(hwnd);
    }

    // Drawing outside WM_PAINT reaches the window's pixels, and a part still waiting
    // for its paint gets it (the simulator models the same).
    TEST(PaintTest, PaintNowDrawsTheWholeClientAndLeavesAWaitingPaintDue)
    {
        auto backend = CreateBackend();
        IWindowManager& wm = backend->Os().windows;
        Recorder rec{ wm };
        int painted = 0;
        CountPaints(wm, rec, painted);
        const Hwnd hwnd = MakeShownWindow(wm, rec);
        ASSERT_NE(hwnd, Hwnd{});
        wm.PumpMessages();
        const int before = painted;
        wm.InvalidateRect(hwnd, nullptr);
        Rect drawn{};
        wm.PaintNow(hwnd,
                    [&](ICanvas& canvas)
                    {
                        drawn = wm.GetClientRect(hwnd);
                        canvas.FillRect({ 0, 0, 64, 48 }, Rgb(0, 128, 0));
                    });
        EXPECT_EQ(drawn, Rect::FromBounds(0, 0, 64, 48));
        HDC dc = GetDC(ToHwnd(hwnd));
        ASSERT_NE(dc, nullptr);
        const COLORREF corner = GetPixel(dc, 63, 47);
        ReleaseDC(ToHwnd(hwnd), dc);
        EXPECT_EQ(corner, RGB(0, 128, 0));
        RECT dirty{};
        EXPECT_TRUE(GetUpdateRect(ToHwnd(hwnd), &dirty, FALSE)) << "the invalidation still waits";
        wm.UpdateWindow(hwnd);
        EXPECT_EQ(painted, before + 1);
        wm.Destroy(hwnd);
    }

    TEST(PaintTest, PaintOfAnEmptyClientAreaCallsNothingAndStillValidates)
    {
        auto backend = CreateBackend();
        IWindowManager& wm = backend->Os().windows;
        Recorder rec{ wm };
        int painted = 0;
        CountPaints(wm, rec, painted);
        WindowParams request;
        request.className = "NorvalePaintTest";
        request.style = WS_POPUP | WS_VISIBLE;
        request.bounds = Rect::FromBounds(0, 0, 0, 0);
        const Hwnd hwnd = wm.Create(request, &rec);
        ASSERT_NE(hwnd, Hwnd{});
        wm.Send(hwnd, WM_PAINT, 0, 0);
        EXPECT_EQ(painted, 0);
        wm.PumpMessages(); // would never end if the paint left the window invalid
        wm.Destroy(hwnd);
    }

    TEST(PaintTest, APaintInsideAnotherWindowsPaintLeavesBothIntactAndUncoveredPixelsAreBlack)
    {
        auto backend = CreateBackend();
        IWindowManager& wm = backend->Os().windows;
        Recorder outerRec{ wm };
        Recorder innerRec{ wm };
        Hwnd inner{};
        // The outer window updates the inner one halfway through its own paint.
        outerRec.handlers[WM_PAINT] = [&](Hwnd h, WPARAM, LPARAM) -> std::optional<LRESULT>
        {
            wm.Paint(h,
                     [&](ICanvas& canvas)
                     {
                         canvas.FillRect({ 0, 0, 80, 20 }, Rgb(255, 0, 0));
                         wm.InvalidateRect(inner, nullptr);
                         wm.UpdateWindow(inner);
                         canvas.FillRect({ 0, 20, 80, 40 }, Rgb(0, 0, 255));
                     });
            return 0;
        };
        // The inner one leaves its right half unpainted.
        innerRec.handlers[WM_PAINT] = [&](Hwnd h, WPARAM, LPARAM) -> std::optional<LRESULT>
        {
            wm.Paint(h, [&](ICanvas& canvas) { canvas.FillRect({ 0, 0, 40, 40 }, Rgb(0, 255, 0)); });
            return 0;
        };
        WindowParams request;
        request.className = "NorvalePaintTest";
        request.style = WS_POPUP | WS_VISIBLE;
        request.exStyle = WS_EX_TOPMOST;
        request.bounds = Rect::FromBounds(0, 0, 80, 40);
        const Hwnd outer = wm.Create(request, &outerRec);
        request.bounds = Rect::FromBounds(200, 0, 280, 40);
        inner = wm.Create(request, &innerRec);
        ASSERT_NE(outer, Hwnd{});
        ASSERT_NE(inner, Hwnd{});
        wm.PumpMessages();
        wm.InvalidateRect(outer, nullptr);
        wm.UpdateWindow(outer);

        auto pixel = [&](Hwnd h, int x, int y)
        {
            HDC dc = GetDC(ToHwnd(h));
            const COLORREF c = GetPixel(dc, x, y);
            ReleaseDC(ToHwnd(h), dc);
            return c;
        };
        EXPECT_EQ(pixel(outer, 10, 5), RGB(255, 0, 0));
        EXPECT_EQ(pixel(outer, 70, 35), RGB(0, 0, 255));
        EXPECT_EQ(pixel(inner, 10, 5), RGB(0, 255, 0));
        EXPECT_EQ(pixel(inner, 70, 35), RGB(0, 0, 0)) << "an earlier paint showed through";

        // An invalid part alone is repainted; the rest of the window keeps its pixels.
        innerRec.handlers[WM_PAINT] = [&](Hwnd h, WPARAM, LPARAM) -> std::optional<LRESULT>
        {
            wm.Paint(h, [&](ICanvas& canvas) { canvas.FillRect({ 0, 0, 80, 40 }, Rgb(255, 255, 0)); });
            return 0;
        };
        const Rect part{ 60, 0, 80, 40 };
        wm.InvalidateRect(inner, &part);
        wm.UpdateWindow(inner);
        EXPECT_EQ(pixel(inner, 70, 35), RGB(255, 255, 0));
        EXPECT_EQ(pixel(inner, 10, 5), RGB(0, 255, 0));
        wm.Destroy(inner);
        wm.Destroy(outer);
    }
} // namespace os::win32::test
