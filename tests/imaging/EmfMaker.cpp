#include "EmfMaker.h"

#include <cstdio>
#include <functional>

// After the standard headers: the Windows headers define min and max.
#include <libEMF/emf.h>

namespace emfmaker {

namespace {

std::string Make(const std::function<void(HDC)> &draw)
{
    FILE *fp = tmpfile();
    if (!fp)
        return {};
    RECT frame{0, 0, 10000, 5000}; // 0.01 mm
    HDC dc = CreateEnhMetaFileWithFILEA(0, fp, &frame, "zor test\0picture\0");
    draw(dc);
    HENHMETAFILE mf = CloseEnhMetaFileWithFILE(dc);
    DeleteEnhMetaFile(mf);
    std::string bytes;
    rewind(fp);
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, fp)) > 0)
        bytes.append(buf, n);
    fclose(fp);
    return bytes;
}

// libEMF's reference device is 1024 x 768 pixels on 320 x 240 mm: 3.2 px/mm,
// so the 100 x 50 mm frame is 320 x 160 device pixels.
void NoPen(HDC dc) { SelectObject(dc, GetStockObject(NULL_PEN)); }

} // namespace

void Device(int &px, int &py, int &mmx, int &mmy)
{
    px = 1024;
    py = 768;
    mmx = 320;
    mmy = 240;
}

std::string Shapes()
{
    return Make([](HDC dc) {
        NoPen(dc);
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        HGDIOBJ old = SelectObject(dc, red);
        Rectangle(dc, 0, 0, 161, 161);
        HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
        SelectObject(dc, blue);
        Ellipse(dc, 200, 20, 301, 141);
        SelectObject(dc, old);
        DeleteObject(red);
        DeleteObject(blue);
    });
}

std::string Mapped()
{
    return Make([](HDC dc) {
        SetMapMode(dc, MM_ANISOTROPIC);
        SetWindowExtEx(dc, 1000, 500, 0);
        SetViewportExtEx(dc, 320, 160, 0);
        NoPen(dc);
        HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
        SelectObject(dc, green);
        Rectangle(dc, 500, 0, 1001, 501);
    });
}

std::string WorldScaled()
{
    return Make([](HDC dc) {
        XFORM x{2, 0, 0, 2, 0, 0};
        SetWorldTransform(dc, &x);
        NoPen(dc);
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        SelectObject(dc, red);
        Rectangle(dc, 0, 0, 81, 81);
    });
}

std::string Triangle()
{
    return Make([](HDC dc) {
        NoPen(dc);
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        SelectObject(dc, red);
        POINT tri[3] = {{0, 0}, {320, 0}, {0, 160}};
        Polygon(dc, tri, 3);
        HPEN blue = CreatePen(PS_SOLID, 3, RGB(0, 0, 255));
        SelectObject(dc, blue);
        POINT bez[4] = {{200, 150}, {230, 100}, {280, 100}, {310, 150}};
        PolyBezier(dc, bez, 4);
    });
}

std::string Text()
{
    return Make([](HDC dc) {
        HFONT font = CreateFontA(-60, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "DejaVu Sans");
        SelectObject(dc, font);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
        SetTextAlign(dc, TA_TOP | TA_LEFT);
        const WCHAR text[] = {'H', 'H', 0};
        ExtTextOutW(dc, 10, 10, 0, 0, text, 2, 0);
    });
}

} // namespace emfmaker
