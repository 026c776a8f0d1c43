#pragma once

#include "editengine.h"

#include <QList>
#include <QString>

// Drives an engine as a keyboard does: key down, key press, key up for every character.
struct TypedKeys
{
    QList<int> characters; // what each key press handed on
    int beeps = 0;
};

inline int keyCodeFor(char16_t c)
{
    if (c >= u'a' && c <= u'z')
        return c - 32;
    if ((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c < 32)
        return c;
    return 0;
}

inline TypedKeys typeKeys(vrex::EditEngine& engine, const QString& keys, int shift = 0)
{
    TypedKeys out;
    const int before = engine.beepCount();
    for (QChar key : keys) {
        const char16_t c = key.unicode();
        engine.keyDown(keyCodeFor(c), shift);
        out.characters.append(engine.keyPress(c).character);
        engine.keyUp(keyCodeFor(c), shift);
    }
    out.beeps = engine.beepCount() - before;
    return out;
}

// Ctrl held down around one control character (Ctrl+C is 3, Ctrl+V 22, Ctrl+X 24).
inline int pressWithCtrl(vrex::EditEngine& engine, char16_t control)
{
    engine.keyDown(vrex::KeyControl, vrex::ShiftMaskCtrl);
    engine.keyDown(control + 64, vrex::ShiftMaskCtrl);
    const int c = engine.keyPress(control).character;
    engine.keyUp(control + 64, vrex::ShiftMaskCtrl);
    engine.keyUp(vrex::KeyControl, 0);
    return c;
}
