// The properties of the edit box: its own ones, the ones passed through to the inner box,
// and saving and loading them with a window's design.
#include "vrexeditbox_p.h"

#include <QGuiApplication>
#include <QMetaClassInfo>
#include <QPalette>

VrexEditbox::enmEditType VrexEditbox::editType() const
{
    return enmEditType(d->engine.settings().editType);
}

void VrexEditbox::setEditType(enmEditType type)
{
    // Values past the list are kept and behave as Normal.
    d->engine.settings().editType = int(type);
    d->markChanged("EditType");
}

VrexEditbox::enmDecimals VrexEditbox::decimals() const
{
    return enmDecimals(d->engine.settings().decimals);
}

void VrexEditbox::setDecimals(enmDecimals decimals)
{
    if (int(decimals) < 0 || int(decimals) > vrex::DecimalsUnlimited) {
        d->invalidValue();
        return;
    }
    d->engine.settings().decimals = int(decimals);
    d->markChanged("Decimals");
}

int VrexEditbox::centuryYear() const
{
    return d->engine.settings().centuryYear;
}

void VrexEditbox::setCenturyYear(int year)
{
    if (year < 0 || year > 99) {
        d->message(tr("Invalid Property Value. Must be from 0 to 99."));
        return;
    }
    d->engine.settings().centuryYear = year;
    d->markChanged("CenturyYear");
}

bool VrexEditbox::autoSelect() const
{
    return d->engine.settings().autoSelect;
}

void VrexEditbox::setAutoSelect(bool on)
{
    d->engine.settings().autoSelect = on;
    d->markChanged("AutoSelect");
}

bool VrexEditbox::autoFocus() const
{
    return d->autoFocus;
}

void VrexEditbox::setAutoFocus(bool on)
{
    d->autoFocus = on;
    d->markChanged("AutoFocus");
}

uint VrexEditbox::backColor_GotFocus() const
{
    return d->backColorGotFocus;
}

QColor VrexEditbox::backColor_GotFocusColor() const
{
    return toColor(backColor_GotFocus());
}

void VrexEditbox::setBackColor_GotFocus(const QColor& color)
{
    setBackColor_GotFocus(toOleColor(color));
}

void VrexEditbox::setBackColor_GotFocus(uint color)
{
    d->backColorGotFocus = color;
    d->markChanged("BackColor_GotFocus");
}

uint VrexEditbox::backColor_Normal() const
{
    return d->backColorNormal;
}

QColor VrexEditbox::backColor_NormalColor() const
{
    return toColor(backColor_Normal());
}

void VrexEditbox::setBackColor_Normal(const QColor& color)
{
    setBackColor_Normal(toOleColor(color));
}

void VrexEditbox::setBackColor_Normal(uint color)
{
    d->backColorNormal = color;
    d->markChanged("BackColor_Normal");
}

QString VrexEditbox::defaultText() const
{
    return d->engine.settings().defaultText;
}

void VrexEditbox::setDefaultText(const QString& text)
{
    d->engine.settings().defaultText = text;
    d->applyDesignDefault();
    d->markChanged("DefaultText");
}

bool VrexEditbox::useDefaultText() const
{
    return d->engine.settings().useDefaultText;
}

void VrexEditbox::setUseDefaultText(bool on)
{
    d->engine.settings().useDefaultText = on;
    d->applyDesignDefault();
    d->markChanged("UseDefaultText");
}

VrexEditbox::enmAlignment VrexEditbox::alignment() const
{
    const Qt::Alignment a = d->edit->alignment();
    return a & Qt::AlignRight ? Right_Justify : a & Qt::AlignHCenter ? Center : Left_Justify;
}

void VrexEditbox::setAlignment(enmAlignment alignment)
{
    static const Qt::Alignment map[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter};
    if (int(alignment) < 0 || int(alignment) > 2) {
        d->invalidValue();
        return;
    }
    d->edit->setAlignment(map[alignment] | Qt::AlignVCenter);
    d->markChanged("Alignment");
}

VrexEditbox::enmAppearance VrexEditbox::appearance() const
{
    return enmAppearance(d->appearance);
}

void VrexEditbox::setAppearance(enmAppearance appearance)
{
    if (int(appearance) < 0 || int(appearance) > 1) {
        d->invalidValue();
        return;
    }
    d->appearance = appearance;
    d->edit->setBorder(d->borderStyle == Fixed_Single, appearance == Appear_Flat);
    d->markChanged("Appearance");
}

uint VrexEditbox::backColor() const
{
    return d->backColor;
}

QColor VrexEditbox::backColorColor() const
{
    return toColor(backColor());
}

void VrexEditbox::setBackColor(const QColor& color)
{
    setBackColor(toOleColor(color));
}

void VrexEditbox::setBackColor(uint color)
{
    d->backColor = color;
    d->showBackColor(color);
    d->markChanged("BackColor");
}

VrexEditbox::enmBorderStyle VrexEditbox::borderStyle() const
{
    return enmBorderStyle(d->borderStyle);
}

void VrexEditbox::setBorderStyle(enmBorderStyle style)
{
    if (int(style) < 0 || int(style) > 1) {
        d->invalidValue();
        return;
    }
    d->borderStyle = style;
    d->edit->setBorder(style == Fixed_Single, d->appearance == Appear_Flat);
    d->markChanged("BorderStyle");
}

bool VrexEditbox::causesValidation() const
{
    return d->causesValidation;
}

void VrexEditbox::setCausesValidation(bool on)
{
    d->causesValidation = on;
    d->markChanged("CausesValidation");
}

QString VrexEditbox::dataField() const
{
    return d->dataField;
}

void VrexEditbox::setDataField(const QString& field)
{
    d->dataField = field;
    d->markChanged("DataField");
}

namespace {

// The font belongs to the control and reaches the inner box from there.
template <typename Change> void changeFont(QWidget* box, Change change)
{
    QFont font = box->font();
    change(font);
    box->setFont(font);
}

} // namespace

bool VrexEditbox::fontBold() const
{
    return font().bold();
}

void VrexEditbox::setFontBold(bool on)
{
    changeFont(this, [on](QFont& f) { f.setBold(on); });
    d->markChanged("FontBold");
}

bool VrexEditbox::fontItalic() const
{
    return font().italic();
}

void VrexEditbox::setFontItalic(bool on)
{
    changeFont(this, [on](QFont& f) { f.setItalic(on); });
    d->markChanged("FontItalic");
}

QString VrexEditbox::fontName() const
{
    return font().family();
}

void VrexEditbox::setFontName(const QString& name)
{
    if (name.trimmed().isEmpty()) {
        d->invalidValue();
        return;
    }
    changeFont(this, [&name](QFont& f) { f.setFamily(name); });
    d->markChanged("FontName");
}

double VrexEditbox::fontSize() const
{
    return font().pointSizeF();
}

void VrexEditbox::setFontSize(double size)
{
    if (!(size > 0 && size <= 2160)) {
        d->invalidValue();
        return;
    }
    changeFont(this, [size](QFont& f) { f.setPointSizeF(size); });
    d->markChanged("FontSize");
}

bool VrexEditbox::fontStrikethru() const
{
    return font().strikeOut();
}

void VrexEditbox::setFontStrikethru(bool on)
{
    changeFont(this, [on](QFont& f) { f.setStrikeOut(on); });
    d->markChanged("FontStrikethru");
}

bool VrexEditbox::fontUnderline() const
{
    return font().underline();
}

void VrexEditbox::setFontUnderline(bool on)
{
    changeFont(this, [on](QFont& f) { f.setUnderline(on); });
    d->markChanged("FontUnderline");
}

uint VrexEditbox::foreColor() const
{
    return d->foreColor;
}

QColor VrexEditbox::foreColorColor() const
{
    return toColor(foreColor());
}

void VrexEditbox::setForeColor(const QColor& color)
{
    setForeColor(toOleColor(color));
}

void VrexEditbox::setForeColor(uint color)
{
    d->foreColor = color;
    d->showForeColor(color);
    d->markChanged("ForeColor");
}

int VrexEditbox::left() const
{
    return d->edit->x();
}

void VrexEditbox::setLeft(int left)
{
    // Moves the inner box within the control, until the control's next resize puts it back.
    d->edit->move(left, d->edit->y());
    d->markChanged("Left");
}

QString VrexEditbox::linkItem() const
{
    return d->linkItem;
}

void VrexEditbox::setLinkItem(const QString& item)
{
    d->linkItem = item;
    d->markChanged("LinkItem");
}

bool VrexEditbox::locked() const
{
    return d->engine.settings().locked;
}

void VrexEditbox::setLocked(bool on)
{
    d->engine.settings().locked = on;
    d->edit->setReadOnly(on);
    d->markChanged("Locked");
}

int VrexEditbox::selStart() const
{
    d->syncFromEdit();
    return d->engine.selStart();
}

void VrexEditbox::setSelStart(int start)
{
    if (start < 0) {
        d->invalidValue();
        return;
    }
    d->engine.setSelection(start, 0);
    d->syncToEdit();
    d->markChanged("SelStart");
}

int VrexEditbox::selLength() const
{
    d->syncFromEdit();
    return d->engine.selLength();
}

void VrexEditbox::setSelLength(int length)
{
    if (length < 0) {
        d->invalidValue();
        return;
    }
    d->syncFromEdit();
    d->engine.setSelection(d->engine.selStart(), length);
    d->syncToEdit();
    d->markChanged("SelLength");
}

int VrexEditbox::maxLength() const
{
    return d->engine.settings().maxLength;
}

void VrexEditbox::setMaxLength(int length)
{
    if (length < 0) {
        d->invalidValue();
        return;
    }
    d->engine.settings().maxLength = length;
    d->markChanged("MaxLength");
}

VrexEditbox::enmMousePointer VrexEditbox::mousePointer() const
{
    return enmMousePointer(d->mousePointer);
}

void VrexEditbox::setMousePointer(enmMousePointer pointer)
{
    static const Qt::CursorShape shapes[] = {
        Qt::IBeamCursor,     Qt::ArrowCursor,   Qt::CrossCursor,     Qt::IBeamCursor,
        Qt::ArrowCursor,     Qt::SizeAllCursor, Qt::SizeBDiagCursor, Qt::SizeVerCursor,
        Qt::SizeFDiagCursor, Qt::SizeHorCursor, Qt::UpArrowCursor,   Qt::WaitCursor,
        Qt::ForbiddenCursor, Qt::BusyCursor,    Qt::WhatsThisCursor, Qt::SizeAllCursor};
    const int p = int(pointer);
    if ((p < 0 || p > 15) && p != Custom) {
        d->invalidValue();
        return;
    }
    d->mousePointer = p;
    d->edit->setCursor(p == Custom ? Qt::ArrowCursor : shapes[p]);
    d->markChanged("MousePointer");
}

VrexEditbox::enmOLEDragMode VrexEditbox::oleDragMode() const
{
    return enmOLEDragMode(d->oleDragMode);
}

void VrexEditbox::setOLEDragMode(enmOLEDragMode mode)
{
    if (int(mode) < 0 || int(mode) > 1) {
        d->invalidValue();
        return;
    }
    // The box runs its drags itself (the line edit's own drag would raise no events).
    d->oleDragMode = mode;
    d->markChanged("OLEDragMode");
}

VrexEditbox::enmOLEDropMode VrexEditbox::oleDropMode() const
{
    return enmOLEDropMode(d->oleDropMode);
}

void VrexEditbox::setOLEDropMode(enmOLEDropMode mode)
{
    if (int(mode) < 0 || int(mode) > 2) {
        d->invalidValue();
        return;
    }
    d->oleDropMode = mode;
    d->edit->setAcceptDrops(mode != Drop_None);
    d->markChanged("OLEDropMode");
}

QString VrexEditbox::passwordChar() const
{
    return d->passwordChar;
}

void VrexEditbox::setPasswordChar(const QString& character)
{
    if (character.size() > 1) {
        d->invalidValue();
        return;
    }
    d->passwordChar = character;
    d->edit->setPasswordCharacter(character.isEmpty() ? QChar() : character.front());
    d->markChanged("PasswordChar");
}

bool VrexEditbox::rightToLeft() const
{
    return d->edit->layoutDirection() == Qt::RightToLeft;
}

void VrexEditbox::setRightToLeft(bool on)
{
    d->edit->setLayoutDirection(on ? Qt::RightToLeft : Qt::LeftToRight);
    d->markChanged("RightToLeft");
}

QString VrexEditbox::text() const
{
    return d->engine.text();
}

void VrexEditbox::setText(const QString& text)
{
    d->engine.setText(d->designText(text));
    d->syncToEdit();
    d->markChanged("Text");
}

bool VrexEditbox::hideSelection() const
{
    return true;
}

quintptr VrexEditbox::hWnd() const
{
    return quintptr(d->edit->effectiveWinId());
}

int VrexEditbox::index() const
{
    return -1;
}

bool VrexEditbox::multiLine() const
{
    return false;
}

QColor VrexEditbox::toColor(uint oleColor)
{
    if (oleColor & 0x80000000u) {
        const QPalette palette = QGuiApplication::palette();
        switch (oleColor & 0xFFu) {
        case 5:
            return palette.color(QPalette::Base); // window background
        case 8:
            return palette.color(QPalette::Text); // window text
        case 13:
            return palette.color(QPalette::Highlight);
        case 14:
            return palette.color(QPalette::HighlightedText);
        case 15:
            return palette.color(QPalette::Button); // button face
        case 18:
            return palette.color(QPalette::ButtonText);
        case 17:
            return palette.color(QPalette::PlaceholderText); // grey text
        default:
            return palette.color(QPalette::Window);
        }
    }
    return QColor(int(oleColor & 0xFF), int((oleColor >> 8) & 0xFF), int((oleColor >> 16) & 0xFF));
}

uint VrexEditbox::toOleColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return uint(rgb.red()) | uint(rgb.green()) << 8 | uint(rgb.blue()) << 16;
}

QString VrexEditbox::publishedName(enmEditType type)
{
    static const char* const names[] = {
        "Normal",        "Numeric",    "Numeric Signed", "Numeric With Symbols",
        "Date MM/DD/YY", "Time HH:MM", "Currency Sys",   "Curreny with Symbol",
        "Percent %",     "Uppercase",  "Lowercase",      "Date Sys",
        "Currency Dec"};
    return type >= 0 && type <= Currency_Dec ? QString::fromLatin1(names[type]) : QString();
}

QString VrexEditbox::publishedName(enmDecimals decimals)
{
    static const char* const names[] = {"0 - None", "1 - One",  "2 - Two", "3 - Three",
                                        "4 - Four", "5 - Five", "6 - Six", "Unlimited"};
    return decimals >= 0 && decimals <= Decimals_Unlimited ? QString::fromLatin1(names[decimals])
                                                           : QString();
}

QString VrexEditbox::propertyDescription(const char* property)
{
    const int index = staticMetaObject.indexOfClassInfo(property);
    return index < 0 ? QString() : QString::fromUtf8(staticMetaObject.classInfo(index).value());
}
