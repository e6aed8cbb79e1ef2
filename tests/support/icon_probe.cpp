#include <windows.h>

#include "support/icon_probe.h"

/* FNV-1a, continued over more bytes. */
static DWORD Checksum(DWORD sum, const void *bytes, size_t size)
{
    for (size_t i = 0; i < size; i++)
        sum = (sum ^ ((const BYTE *)bytes)[i]) * 16777619u;
    return sum;
}

/* The bitmap's pixels as top-down 32-bit colour, added to the checksum. */
static DWORD ChecksumBitmap(DWORD sum, HBITMAP bitmap)
{
    BITMAP header = {};
    if (bitmap == NULL || GetObjectA(bitmap, sizeof(header), &header) == 0)
        return Checksum(sum, "none", 4);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = header.bmWidth;
    info.bmiHeader.biHeight = -header.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    DWORD size = DWORD(header.bmWidth) * DWORD(header.bmHeight) * 4;
    BYTE *pixels = (BYTE *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
    HDC screen = GetDC(NULL);
    int lines = GetDIBits(screen, bitmap, 0, header.bmHeight, pixels, &info, DIB_RGB_COLORS);
    ReleaseDC(NULL, screen);
    sum = Checksum(sum, &header.bmWidth, sizeof(header.bmWidth));
    sum = Checksum(sum, &header.bmHeight, sizeof(header.bmHeight));
    sum = Checksum(sum, &lines, sizeof(lines));
    sum = Checksum(sum, pixels, size);
    HeapFree(GetProcessHeap(), 0, pixels);
    return sum;
}

DWORD IconFingerprint(HICON icon)
{
    ICONINFO info = {};
    if (icon == NULL || !GetIconInfo(icon, &info))
        return 0;
    DWORD sum = ChecksumBitmap(2166136261u, info.hbmColor);
    sum = ChecksumBitmap(sum, info.hbmMask);
    if (info.hbmColor != NULL)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return sum == 0 ? 1 : sum;
}
