// Saving and loading a box's design through the property bag, under the stored names and
// with the defaults a new box has.
#include "designstore.h"

#include "editengine.h"

namespace vrex {

void writeProperties(const VrexEditbox& box, VrexPropertyBag& bag)
{
    const int century = defaultCenturyYear(today().year());
    bag.writeProperty(QStringLiteral("AutoSelect"), box.autoSelect(), true);
    bag.writeProperty(QStringLiteral("AutoFocus"), box.autoFocus(), false);
    bag.writeProperty(QStringLiteral("BackColor_GotFocus"), box.backColor_GotFocus(), 0xFFFF00u);
    bag.writeProperty(QStringLiteral("BackColor_LostFocus"), box.backColor_Normal(), 0xFFFFFFu);
    bag.writeProperty(QStringLiteral("DefaultText"), box.defaultText(), QString());
    bag.writeProperty(QStringLiteral("EditType"), int(box.editType()), 0);
    bag.writeProperty(QStringLiteral("UseDefaultText"), box.useDefaultText(), true);
    bag.writeProperty(QStringLiteral("Decimals"), int(box.decimals()), 0);
    bag.writeProperty(QStringLiteral("CenturyYear"), box.centuryYear(), century);
    bag.writeProperty(QStringLiteral("Alignment"), int(box.alignment()), 0);
    bag.writeProperty(QStringLiteral("Appearance"), int(box.appearance()), 1);
    bag.writeProperty(QStringLiteral("BackColor"), box.backColor(), 0x80000005u);
    bag.writeProperty(QStringLiteral("BorderStyle"), int(box.borderStyle()), 1);
    bag.writeProperty(QStringLiteral("CausesValidation"), box.causesValidation(), true);
    bag.writeProperty(QStringLiteral("DataField"), box.dataField(), QString());
    bag.writeProperty(QStringLiteral("Enabled"), box.isEnabled(), true);
    bag.writeProperty(QStringLiteral("FontBold"), box.fontBold(), false);
    bag.writeProperty(QStringLiteral("FontItalic"), box.fontItalic(), false);
    bag.writeProperty(QStringLiteral("FontName"), box.fontName(), QStringLiteral("MS Sans Serif"));
    bag.writeProperty(QStringLiteral("FontSize"), box.fontSize(), 8.0);
    bag.writeProperty(QStringLiteral("FontStrikethru"), box.fontStrikethru(), false);
    bag.writeProperty(QStringLiteral("FontUnderline"), box.fontUnderline(), false);
    bag.writeProperty(QStringLiteral("ForeColor"), box.foreColor(), 0x80000012u);
    bag.writeProperty(QStringLiteral("Left"), box.left(), 0);
    bag.writeProperty(QStringLiteral("Locked"), box.locked(), false);
    bag.writeProperty(QStringLiteral("MaxLength"), box.maxLength(), 0);
    bag.writeProperty(QStringLiteral("MousePointer"), int(box.mousePointer()), 0);
    bag.writeProperty(QStringLiteral("MultiLine"), box.multiLine(), false);
    bag.writeProperty(QStringLiteral("OLEDragMode"), int(box.oleDragMode()), 0);
    bag.writeProperty(QStringLiteral("OLEDropMode"), int(box.oleDropMode()), 0);
    bag.writeProperty(QStringLiteral("PasswordChar"), box.passwordChar(), QString());
    bag.writeProperty(QStringLiteral("RightToLeft"), box.rightToLeft(), false);
    bag.writeProperty(QStringLiteral("SelStart"), box.selStart(), 0);
    bag.writeProperty(QStringLiteral("SelLength"), box.selLength(), 0);
    bag.writeProperty(QStringLiteral("Text"), box.text(), QString());
}

void readProperties(VrexEditbox& box, const VrexPropertyBag& bag)
{
    auto read = [&bag](const char* name, const QVariant& fallback) {
        return bag.readProperty(QString::fromLatin1(name), fallback);
    };
    box.setAutoSelect(read("AutoSelect", true).toBool());
    box.setAutoFocus(read("AutoFocus", false).toBool());
    box.setBackColor_GotFocus(read("BackColor_GotFocus", 0xFFFF00u).toUInt());
    box.setBackColor_Normal(read("BackColor_LostFocus", 0xFFFFFFu).toUInt());
    box.setDefaultText(read("DefaultText", QString()).toString());
    box.setUseDefaultText(read("UseDefaultText", true).toBool());
    box.setEditType(VrexEditbox::enmEditType(read("EditType", 0).toInt()));
    box.setDecimals(VrexEditbox::enmDecimals(read("Decimals", 0).toInt()));
    box.setCenturyYear(read("CenturyYear", defaultCenturyYear(today().year())).toInt());
    box.setAlignment(VrexEditbox::enmAlignment(read("Alignment", 0).toInt()));
    box.setAppearance(VrexEditbox::enmAppearance(read("Appearance", 1).toInt()));
    box.setBackColor(read("BackColor", 0x80000005u).toUInt());
    box.setBorderStyle(VrexEditbox::enmBorderStyle(read("BorderStyle", 1).toInt()));
    box.setCausesValidation(read("CausesValidation", true).toBool());
    box.setDataField(read("DataField", QString()).toString());
    box.setEnabled(read("Enabled", true).toBool());
    box.setFontBold(read("FontBold", false).toBool());
    box.setFontItalic(read("FontItalic", false).toBool());
    box.setFontName(read("FontName", QStringLiteral("MS Sans Serif")).toString());
    box.setFontSize(read("FontSize", 8.0).toDouble());
    box.setFontStrikethru(read("FontStrikethru", false).toBool());
    box.setFontUnderline(read("FontUnderline", false).toBool());
    box.setForeColor(read("ForeColor", 0x80000012u).toUInt());
    box.setLeft(read("Left", 0).toInt());
    box.setLocked(read("Locked", false).toBool());
    box.setMaxLength(read("MaxLength", 0).toInt());
    box.setMousePointer(VrexEditbox::enmMousePointer(read("MousePointer", 0).toInt()));
    box.setOLEDragMode(VrexEditbox::enmOLEDragMode(read("OLEDragMode", 0).toInt()));
    box.setOLEDropMode(VrexEditbox::enmOLEDropMode(read("OLEDropMode", 0).toInt()));
    box.setPasswordChar(read("PasswordChar", QString()).toString());
    box.setRightToLeft(read("RightToLeft", false).toBool());
    box.setSelStart(read("SelStart", 0).toInt());
    box.setSelLength(read("SelLength", 0).toInt());
    box.setText(read("Text", QString()).toString());
    if (box.useDefaultText())
        box.setText(box.defaultText());
}

} // namespace vrex
