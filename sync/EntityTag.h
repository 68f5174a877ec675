#pragma once

#include <QByteArrayView>

// True when the bytes are an entity-tag as HTTP writes one: an optional
// "W/", then a quoted string of visible characters (no space, no quote, no
// control character, bytes from 0x80 allowed). An ETag that is not one is
// taken as none: it is never sent back in a header nor stored.
inline bool IsEntityTag(QByteArrayView tag)
{
    if (tag.startsWith("W/"))
        tag = tag.sliced(2);
    if (tag.size() < 2 || !tag.startsWith('"') || !tag.endsWith('"'))
        return false;
    for (const char c : tag.sliced(1, tag.size() - 2)) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x21 || b == 0x22 || b == 0x7F)
            return false;
    }
    return true;
}
