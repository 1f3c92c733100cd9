// Saves what a window shows as a PNG file, read straight from the X server: the screenshots in docs/ are taken
// with it under a headless server, where no desktop screenshot tool runs. Usage: x11_window_png WINDOW-ID FILE
#include "X11Client.h"

#include <QImage>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>

namespace {

// The mask's lowest set bit tells where the channel sits in the pixel.
int channel(unsigned long pixel, unsigned long mask)
{
    if (mask == 0) {
        return 0;
    }
    int shift = 0;
    while (((mask >> shift) & 1UL) == 0) {
        ++shift;
    }
    const unsigned long max = mask >> shift;
    return static_cast<int>(((pixel & mask) >> shift) * 255UL / max);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s WINDOW-ID FILE\n", argv[0]);
        return 2;
    }
    const Window window = x11client::windowFromArgument(argv[1]);
    if (window == 0) {
        return 2;
    }
    Display* display = x11client::openDisplay();
    if (display == nullptr) {
        return 1;
    }
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes)) {
        std::fprintf(stderr, "no window %s\n", argv[1]);
        return 1;
    }
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image) {
        std::fprintf(stderr, "cannot read window %s\n", argv[1]);
        return 1;
    }
    QImage png(attributes.width, attributes.height, QImage::Format_RGB32);
    for (int y = 0; y < attributes.height; ++y) {
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            png.setPixel(x, y,
                         qRgb(channel(pixel, image->red_mask), channel(pixel, image->green_mask),
                              channel(pixel, image->blue_mask)));
        }
    }
    XDestroyImage(image);
    XCloseDisplay(display);
    if (!png.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
