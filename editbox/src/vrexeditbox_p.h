#pragma once

#include "inneredit.h"

#include "editengine.h"
#include <vrexeditbox/vrexeditbox.h>

// The state of one edit box behind its public class.
class VrexEditboxPrivate
{
public:
    explicit VrexEditboxPrivate(VrexEditbox* owner);

    // Mirrors between the engine (the truth) and the inner line edit.
    void syncToEdit();
    void syncFromEdit();
    void showBackColor(uint color);
    void showForeColor(uint color);
    void markChanged(const char* name);
    void applyDesignDefault();
    QString designText(const QString& text);
    void invalidValue();
    static void message(const QString& text);

    // Event handling for the inner box.
    void keyPress(QKeyEvent* event);
    void keyRelease(QKeyEvent* event);
    void typeCharacter(char16_t typed);
    void typeCommitted(const QString& text);
    void refuseText(const QString& text);
    void focusIn(Qt::FocusReason reason);
    void leave(Qt::FocusReason reason);
    void mousePress(QMouseEvent* event);
    void mouseRelease(QMouseEvent* event);
    void editChanged();

    VrexEditbox* q;
    InnerEdit* edit;
    vrex::EditEngine engine;

    uint backColorGotFocus = 0xFFFF00;
    uint backColorNormal = 0xFFFFFF;
    bool autoFocus = false;
    uint backColor = 0x80000005;
    uint foreColor = 0x80000012;
    int appearance = 1;
    int borderStyle = 1;
    bool causesValidation = true;
    QString dataField;
    QString linkItem;
    int mousePointer = 0;
    int oleDragMode = 0;
    int oleDropMode = 0;
    QString passwordChar;

    bool syncing = false;
    bool doubleClicked = false; // the next release ends a double click
    bool focused = false;       // between the box's focus gain and its focus loss
    bool refocusing = false;    // the focus comes back after a refused entry
    // A design being loaded (before the first show): whether DefaultText or UseDefaultText
    // has been set, and whether a Text has (a design lists Text once).
    bool designDefaultGiven = false;
    bool designTextSeen = false;
};
