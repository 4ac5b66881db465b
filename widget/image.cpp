// Widget.loadImage and Widget.loadIcon: PNG bytes from script into
// premultiplied pixel data or an icon handle.  Decoding, premultiplication
// and the icon's GDI calls run with the request suspended; every script
// value is made after it is resumed.
#include "widget/widget.h"

#include "widget/png_decoder.h"

namespace {

const unsigned kReadOnly = HOST_ATTR_ENUMERABLE | HOST_ATTR_READONLY;

// The bytes of a script string (one character per byte) and their number.
void argumentBytes(ScriptContext *cx, ValueWord arg, const unsigned char **bytes, size_t *length)
{
    const char *text = g_host->valueToString(cx, arg);
    int n = g_host->stringLength(cx, arg);
    *bytes = (const unsigned char *)text;
    *length = text && n > 0 ? (size_t)n : 0;
}

} // namespace

WIDGET_NATIVE(widget_loadImage)
{
    if (argc < 1) {
        g_host->reportError(cx, "Native function format error: %s",
                            "Widget.loadImage(<imageFileContent>)");
        return 0;
    }
    const unsigned char *bytes;
    size_t length;
    argumentBytes(cx, argv[0], &bytes, &length);

    PngDecoder decoder;
    uint32_t token = g_host->suspendRequest(cx);
    bool decoded = decoder.decode(bytes, length);
    if (decoded)
        premultiplyBgra(decoder.pixels, (size_t)decoder.size);
    g_host->resumeRequest(cx, token);
    if (!decoded)
        return 0; // not a decodable PNG: the host reports the failed call

    // A string this size can fail to be made when memory runs short: fail
    // the same silent way rather than hand script an object without pixels.
    ValueWord content = g_host->newStringN(cx, (const char *)decoder.pixels, decoder.size);
    if (content == VW_UNDEFINED)
        return 0;
    ValueWord result = g_host->newObject(cx, nullptr);
    g_host->defineProperty(cx, result, "imageWidth", g_host->newNumber(cx, decoder.width),
                           nullptr, nullptr, kReadOnly);
    g_host->defineProperty(cx, result, "imageHeight", g_host->newNumber(cx, decoder.height),
                           nullptr, nullptr, kReadOnly);
    g_host->defineProperty(cx, result, "imageContent", content, nullptr, nullptr, kReadOnly);
    *rval = result;
    return 1;
}

WIDGET_NATIVE(widget_loadIcon)
{
    if (argc < 1) {
        g_host->reportError(cx, "Native function format error: %s",
                            "Widget.loadIcon(<imageFileContent>)");
        return 0;
    }
    const unsigned char *bytes;
    size_t length;
    argumentBytes(cx, argv[0], &bytes, &length);

    PngDecoder decoder;
    HICON icon = nullptr;
    uint32_t token = g_host->suspendRequest(cx);
    bool decoded = decoder.decode(bytes, length);
    if (decoded) {
        // Icons take straight alpha: the pixels go in as decoded.
        HBITMAP color = CreateBitmap(decoder.width, decoder.height, 1, 32, decoder.pixels);
        HBITMAP mask = CreateBitmap(decoder.width, decoder.height, 1, 1, nullptr);
        // Without a colour bitmap CreateIconIndirect would make a monochrome
        // icon out of the mask alone; a failed bitmap means no icon.
        if (color && mask) {
            // fIcon FALSE as scripts have always had it; the hot spot stays 0, 0.
            ICONINFO info = {FALSE, 0, 0, mask, color};
            icon = CreateIconIndirect(&info);
        }
        if (color)
            DeleteObject(color);
        if (mask)
            DeleteObject(mask);
    }
    g_host->resumeRequest(cx, token);
    if (!decoded)
        return 0;

    ValueWord result = g_host->newObject(cx, nullptr);
    g_host->defineProperty(cx, result, "iconWidth", g_host->newNumber(cx, decoder.width), nullptr,
                           nullptr, kReadOnly);
    g_host->defineProperty(cx, result, "iconHeight", g_host->newNumber(cx, decoder.height),
                           nullptr, nullptr, kReadOnly);
    g_host->defineProperty(cx, result, "hIcon",
                           g_host->newNumber(cx, (double)(int32_t)(intptr_t)icon), nullptr,
                           nullptr, kReadOnly);
    *rval = result;
    return 1;
}
