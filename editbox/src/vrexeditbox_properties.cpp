// The properties of the edit box: its own ones, the ones passed through to the inner box,
// and saving and loading them with a window's design.
#include "vrexeditbox_p.h"

#include <vrexeditbox/propertybag.h>

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
        d->message(QStringLiteral("Invalid Property Value. Must be from 0 to 99."));
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

void VrexEditbox::setBackColor_GotFocus(uint color)
{
    d->backColorGotFocus = color;
    d->markChanged("BackColor_GotFocus");
}

uint VrexEditbox::backColor_Normal() const
{
    return d->backColorNormal;
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
    d->markChanged("DefaultText");
}

bool VrexEditbox::useDefaultText() const
{
    return d->engine.settings().useDefaultText;
}

void VrexEditbox::setUseDefaultText(bool on)
{
    d->engine.settings().useDefaultText = on;
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
    d->markChanged("Appearance");
}

uint VrexEditbox::backColor() const
{
    return d->backColor;
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
    d->edit->setFrame(style == Fixed_Single);
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

void VrexEditbox::setForeColor(uint color)
{
    d->foreColor = color;
    d->showForeColor(color);
    d->markChanged("ForeColor");
}

int VrexEditbox::left() const
{
    return d->left;
}

void VrexEditbox::setLeft(int left)
{
    d->left = left;
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
    d->oleDragMode = mode;
    d->edit->setDragEnabled(mode == Drag_Automatic);
    d->markChanged("OLEDragMode");
}

VrexEditbox::enmOLEDropMode VrexEditbox::oleDropMode() const
{
    return enmOLEDropMode(d->oleDropMode);
}

void VrexEditbox::setOLEDropMode(enmOLEDropMode mode)
{
    if (int(mode) < 0 || int(mode) > 1) {
        d->invalidValue();
        return;
    }
    d->oleDropMode = mode;
    d->edit->setAcceptDrops(mode == Drop_Manual);
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
    d->edit->setEchoMode(character.isEmpty() ? QLineEdit::Normal : QLineEdit::Password);
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
    d->engine.setText(text);
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

void VrexEditbox::writeProperties(VrexPropertyBag& bag) const
{
    const int century = vrex::defaultCenturyYear(d->engine.today().year());
    bag.writeProperty(QStringLiteral("AutoSelect"), autoSelect(), true);
    bag.writeProperty(QStringLiteral("AutoFocus"), autoFocus(), false);
    bag.writeProperty(QStringLiteral("BackColor_GotFocus"), backColor_GotFocus(), 0xFFFF00u);
    bag.writeProperty(QStringLiteral("BackColor_LostFocus"), backColor_Normal(), 0xFFFFFFu);
    bag.writeProperty(QStringLiteral("DefaultText"), defaultText(), QString());
    bag.writeProperty(QStringLiteral("EditType"), int(editType()), 0);
    bag.writeProperty(QStringLiteral("UseDefaultText"), useDefaultText(), true);
    bag.writeProperty(QStringLiteral("Decimals"), int(decimals()), 0);
    bag.writeProperty(QStringLiteral("CenturyYear"), centuryYear(), century);
    bag.writeProperty(QStringLiteral("Alignment"), int(alignment()), 0);
    bag.writeProperty(QStringLiteral("Appearance"), int(appearance()), 1);
    bag.writeProperty(QStringLiteral("BackColor"), backColor(), 0x80000005u);
    bag.writeProperty(QStringLiteral("BorderStyle"), int(borderStyle()), 1);
    bag.writeProperty(QStringLiteral("CausesValidation"), causesValidation(), true);
    bag.writeProperty(QStringLiteral("DataField"), dataField(), QString());
    bag.writeProperty(QStringLiteral("Enabled"), isEnabled(), true);
    bag.writeProperty(QStringLiteral("FontBold"), fontBold(), false);
    bag.writeProperty(QStringLiteral("FontItalic"), fontItalic(), false);
    bag.writeProperty(QStringLiteral("FontName"), fontName(), QStringLiteral("MS Sans Serif"));
    bag.writeProperty(QStringLiteral("FontSize"), fontSize(), 8.0);
    bag.writeProperty(QStringLiteral("FontStrikethru"), fontStrikethru(), false);
    bag.writeProperty(QStringLiteral("FontUnderline"), fontUnderline(), false);
    bag.writeProperty(QStringLiteral("ForeColor"), foreColor(), 0x80000012u);
    bag.writeProperty(QStringLiteral("Left"), left(), 0);
    bag.writeProperty(QStringLiteral("Locked"), locked(), false);
    bag.writeProperty(QStringLiteral("MaxLength"), maxLength(), 0);
    bag.writeProperty(QStringLiteral("MousePointer"), int(mousePointer()), 0);
    bag.writeProperty(QStringLiteral("MultiLine"), multiLine(), false);
    bag.writeProperty(QStringLiteral("OLEDragMode"), int(oleDragMode()), 0);
    bag.writeProperty(QStringLiteral("OLEDropMode"), int(oleDropMode()), 0);
    bag.writeProperty(QStringLiteral("PasswordChar"), passwordChar(), QString());
    bag.writeProperty(QStringLiteral("RightToLeft"), rightToLeft(), false);
    bag.writeProperty(QStringLiteral("SelStart"), selStart(), 0);
    bag.writeProperty(QStringLiteral("SelLength"), selLength(), 0);
    bag.writeProperty(QStringLiteral("Text"), text(), QString());
}

void VrexEditbox::readProperties(const VrexPropertyBag& bag)
{
    auto read = [&bag](const char* name, const QVariant& fallback) {
        return bag.readProperty(QString::fromLatin1(name), fallback);
    };
    setAutoSelect(read("AutoSelect", true).toBool());
    setAutoFocus(read("AutoFocus", false).toBool());
    setBackColor_GotFocus(read("BackColor_GotFocus", 0xFFFF00u).toUInt());
    setBackColor_Normal(read("BackColor_LostFocus", 0xFFFFFFu).toUInt());
    setDefaultText(read("DefaultText", QString()).toString());
    setUseDefaultText(read("UseDefaultText", true).toBool());
    setEditType(enmEditType(read("EditType", 0).toInt()));
    setDecimals(enmDecimals(read("Decimals", 0).toInt()));
    setCenturyYear(read("CenturyYear", vrex::defaultCenturyYear(d->engine.today().year())).toInt());
    setAlignment(enmAlignment(read("Alignment", 0).toInt()));
    setAppearance(enmAppearance(read("Appearance", 1).toInt()));
    setBackColor(read("BackColor", 0x80000005u).toUInt());
    setBorderStyle(enmBorderStyle(read("BorderStyle", 1).toInt()));
    setCausesValidation(read("CausesValidation", true).toBool());
    setDataField(read("DataField", QString()).toString());
    setEnabled(read("Enabled", true).toBool());
    setFontBold(read("FontBold", false).toBool());
    setFontItalic(read("FontItalic", false).toBool());
    setFontName(read("FontName", QStringLiteral("MS Sans Serif")).toString());
    setFontSize(read("FontSize", 8.0).toDouble());
    setFontStrikethru(read("FontStrikethru", false).toBool());
    setFontUnderline(read("FontUnderline", false).toBool());
    setForeColor(read("ForeColor", 0x80000012u).toUInt());
    setLeft(read("Left", 0).toInt());
    setLocked(read("Locked", false).toBool());
    setMaxLength(read("MaxLength", 0).toInt());
    setMousePointer(enmMousePointer(read("MousePointer", 0).toInt()));
    setOLEDragMode(enmOLEDragMode(read("OLEDragMode", 0).toInt()));
    setOLEDropMode(enmOLEDropMode(read("OLEDropMode", 0).toInt()));
    setPasswordChar(read("PasswordChar", QString()).toString());
    setRightToLeft(read("RightToLeft", false).toBool());
    setSelStart(read("SelStart", 0).toInt());
    setSelLength(read("SelLength", 0).toInt());
    setText(read("Text", QString()).toString());
    if (useDefaultText())
        setText(defaultText());
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
