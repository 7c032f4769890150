#include "Screenshot.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

struct ReleaseScreenDc {
    void operator()(HDC dc) const { ::ReleaseDC(nullptr, dc); }
};
struct DeleteDc {
    void operator()(HDC dc) const { ::DeleteDC(dc); }
};
struct DeleteBitmap {
    void operator()(HBITMAP bitmap) const { ::DeleteObject(bitmap); }
};

}  // namespace

void SaveScreenshot(HWND window, const std::string& name) {
    const char* folder = std::getenv("OSCIMO_SCREENSHOT_DIR");
    if (!folder || !*folder) return;
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::Sleep(300);  // lets the window manager finish drawing the frame
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const std::unique_ptr<HDC__, ReleaseScreenDc> screen(::GetDC(nullptr));
    const std::unique_ptr<HDC__, DeleteDc> memory(::CreateCompatibleDC(screen.get()));
    const std::unique_ptr<HBITMAP__, DeleteBitmap> bitmap(
        ::CreateCompatibleBitmap(screen.get(), width, height));
    const HGDIOBJ previous = ::SelectObject(memory.get(), bitmap.get());
    ::BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY);
    ::SelectObject(memory.get(), previous);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    std::string pixels(stride * static_cast<std::size_t>(height), '\0');
    ::GetDIBits(memory.get(), bitmap.get(), 0, static_cast<UINT>(height), pixels.data(),
                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
    std::ofstream out(std::filesystem::path(folder) / (name + ".bmp"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
}
