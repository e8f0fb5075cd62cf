#include "render/d3d/BitmapFile.h"

#include <cstring>

HBITMAP CreateBitmapFromImage(const RgbImage& image)
{
    if (image.iWidth <= 0 || image.iHeight <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.iWidth) * static_cast<size_t>(image.iHeight))
        return nullptr;
    BITMAPINFO info;
    std::memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image.iWidth;
    info.bmiHeader.biHeight = image.iHeight;  // bottom-up rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HBITMAP hBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
    if (!hBitmap || !pBits)
    {
        if (hBitmap)
            DeleteObject(hBitmap);
        return nullptr;
    }
    // Rows padded to four bytes, the bottom row first, each pixel blue, green, red.
    const size_t nStride = static_cast<size_t>(BmpRowStride(image.iWidth));
    BYTE* pRows = static_cast<BYTE*>(pBits);
    for (int y = 0; y < image.iHeight; ++y)
    {
        BYTE* p = pRows + nStride * static_cast<size_t>(image.iHeight - 1 - y);
        for (int x = 0; x < image.iWidth; ++x, p += 3)
        {
            const RgbPixel& px = image.At(x, y);
            p[0] = px.b;
            p[1] = px.g;
            p[2] = px.r;
        }
    }
    GdiFlush();
    return hBitmap;
}

HBITMAP LoadBitmapFile(const char* szPath, std::string* pReason)
{
    const std::string path = szPath ? szPath : "";
    std::string error;
    RgbImage image;
    HBITMAP hBitmap = nullptr;
    if (ReadBmpFile(path, &image, &error))
    {
        hBitmap = CreateBitmapFromImage(image);
        if (!hBitmap)
            error = "no memory for the bitmap";
    }
    if (!hBitmap && pReason)
        // The reader names the file in some reasons ("NAME: no such file"), not in others.
        *pReason = error.rfind(path + ": ", 0) == 0 ? error : path + ": " + error;
    return hBitmap;
}
