#pragma once

#include <vrexeditbox/vrexeditbox_export.h>

#include <QColor>
#include <QFont>
#include <QLocale>
#include <QMimeData>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QLineEdit;
class VrexEditboxPrivate;

// The typed edit box: one inner line edit ("txtEdit") filling the control, with a typed
// editing mode, a number of decimals, a default text, a two-digit-year rule and focus
// colouring. Colours are Windows colour values (0x00BBGGRR; the top bit marks a system
// colour) in the C++ interface and QColor properties for Designer and the meta-object
// system. Events are the signals from Change to OLEStartDrag; GotFocus, LostFocus and
// Validate are the ones a window sees around leaving the box.
class VREXEDITBOX_EXPORT VrexEditbox : public QWidget
{
    Q_OBJECT
    Q_CLASSINFO("DefaultProperty", "Text_AsDefaultProperty")
    // The descriptions the control publishes for its own properties.
    Q_CLASSINFO("EditType", "The type of editing allowed in the control.")
    Q_CLASSINFO("Decimals", "The number of decimal places for numeric and currency types.")
    Q_CLASSINFO("CenturyYear",
                "Returns/sets the maximum year for which the default century is the current "
                "century.")
    Q_CLASSINFO("AutoSelect",
                "Returns/sets whether the text will be highlighted when the control receives "
                "focus.")
    Q_CLASSINFO("AutoFocus",
                "Returns/sets whether the backcolor will be changed when the control receives "
                "focus.")
    Q_CLASSINFO("BackColor_GotFocus",
                "This is the color that the textbox will change to when it receives focus.")
    Q_CLASSINFO("BackColor_Normal",
                "This is the color that the textbox will change to when it loses focus.")

public:
    enum enmEditType : int
    {
        Normal = 0,
        Numeric = 1,
        Numeric_Signed = 2,
        Numeric_With_Symbols = 3,
        Date_MMDDYY = 4,
        Time_HHMM = 5,
        Currency_Sys = 6,
        Curreny_with_Symbol = 7,
        Percent = 8,
        Uppercase = 9,
        Lowercase = 10,
        Date_Sys = 11,
        Currency_Dec = 12,
    };
    Q_ENUM(enmEditType)
    enum enmDecimals : int
    {
        Decimals_0_None = 0,
        Decimals_1_One = 1,
        Decimals_2_Two = 2,
        Decimals_3_Three = 3,
        Decimals_4_Four = 4,
        Decimals_5_Five = 5,
        Decimals_6_Six = 6,
        Decimals_Unlimited = 7,
    };
    Q_ENUM(enmDecimals)
    enum enmAlignment : int
    {
        Left_Justify = 0,
        Right_Justify = 1,
        Center = 2
    };
    Q_ENUM(enmAlignment)
    enum enmAppearance : int
    {
        Appear_Flat = 0,
        Appear_3D = 1
    };
    Q_ENUM(enmAppearance)
    enum enmBorderStyle : int
    {
        Border_None = 0,
        Fixed_Single = 1
    };
    Q_ENUM(enmBorderStyle)
    enum enmLinkMode : int
    {
        Link_None = 0,
        Link_Automatic = 1,
        Link_Manual = 2,
        Link_Notify = 3
    };
    Q_ENUM(enmLinkMode)
    enum enmMousePointer : int
    {
        Pointer_Default = 0,
        Arrow = 1,
        Cross = 2,
        I_Beam = 3,
        Icon = 4,
        Size = 5,
        Size_NE_SW = 6,
        Size_N_S = 7,
        Size_NW_SE = 8,
        Size_W_E = 9,
        Up_Arrow = 10,
        Hourglass = 11,
        No_Drop = 12,
        Arrow_And_Hourglass = 13,
        Arrow_And_Question = 14,
        Size_All = 15,
        Custom = 99,
    };
    Q_ENUM(enmMousePointer)
    enum enmOLEDragMode : int
    {
        Drag_Manual = 0,
        Drag_Automatic = 1
    };
    Q_ENUM(enmOLEDragMode)
    enum enmOLEDropMode : int
    {
        Drop_None = 0,
        Drop_Manual = 1,
        Drop_Automatic = 2
    };
    Q_ENUM(enmOLEDropMode)

    // Own properties. Text comes before DefaultText and UseDefaultText, so that a design
    // (Designer writes properties in this order) sets the saved text first and the default
    // text then replaces it.
    Q_PROPERTY(enmEditType EditType READ editType WRITE setEditType)
    Q_PROPERTY(enmDecimals Decimals READ decimals WRITE setDecimals)
    Q_PROPERTY(int CenturyYear READ centuryYear WRITE setCenturyYear)
    Q_PROPERTY(bool AutoSelect READ autoSelect WRITE setAutoSelect)
    Q_PROPERTY(bool AutoFocus READ autoFocus WRITE setAutoFocus)
    Q_PROPERTY(QColor BackColor_GotFocus READ backColor_GotFocusColor WRITE setBackColor_GotFocus)
    Q_PROPERTY(QColor BackColor_Normal READ backColor_NormalColor WRITE setBackColor_Normal)
    Q_PROPERTY(QString Text READ text WRITE setText NOTIFY Change USER true)
    Q_PROPERTY(QString DefaultText READ defaultText WRITE setDefaultText)
    Q_PROPERTY(bool UseDefaultText READ useDefaultText WRITE setUseDefaultText)
    // Passed through to the inner box. Enabled, Font and the font's parts are QWidget's
    // enabled and font under the published names; Designer shows them once, as QWidget's.
    Q_PROPERTY(enmAlignment Alignment READ alignment WRITE setAlignment)
    Q_PROPERTY(enmAppearance Appearance READ appearance WRITE setAppearance)
    Q_PROPERTY(QColor BackColor READ backColorColor WRITE setBackColor)
    Q_PROPERTY(enmBorderStyle BorderStyle READ borderStyle WRITE setBorderStyle)
    Q_PROPERTY(bool CausesValidation READ causesValidation WRITE setCausesValidation)
    Q_PROPERTY(QString DataField READ dataField WRITE setDataField)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled DESIGNABLE false STORED false)
    Q_PROPERTY(QFont Font READ font WRITE setFont DESIGNABLE false STORED false)
    Q_PROPERTY(bool FontBold READ fontBold WRITE setFontBold DESIGNABLE false STORED false)
    Q_PROPERTY(bool FontItalic READ fontItalic WRITE setFontItalic DESIGNABLE false STORED false)
    Q_PROPERTY(QString FontName READ fontName WRITE setFontName DESIGNABLE false STORED false)
    Q_PROPERTY(double FontSize READ fontSize WRITE setFontSize DESIGNABLE false STORED false)
    Q_PROPERTY(bool FontStrikethru READ fontStrikethru WRITE setFontStrikethru
                   DESIGNABLE false STORED false)
    Q_PROPERTY(
        bool FontUnderline READ fontUnderline WRITE setFontUnderline DESIGNABLE false STORED false)
    Q_PROPERTY(QColor ForeColor READ foreColorColor WRITE setForeColor)
    Q_PROPERTY(int Left READ left WRITE setLeft)
    Q_PROPERTY(QString LinkItem READ linkItem WRITE setLinkItem)
    Q_PROPERTY(bool Locked READ locked WRITE setLocked)
    Q_PROPERTY(int SelStart READ selStart WRITE setSelStart STORED false)
    Q_PROPERTY(int SelLength READ selLength WRITE setSelLength STORED false)
    Q_PROPERTY(int MaxLength READ maxLength WRITE setMaxLength)
    Q_PROPERTY(enmMousePointer MousePointer READ mousePointer WRITE setMousePointer)
    Q_PROPERTY(enmOLEDragMode OLEDragMode READ oleDragMode WRITE setOLEDragMode)
    Q_PROPERTY(enmOLEDropMode OLEDropMode READ oleDropMode WRITE setOLEDropMode)
    Q_PROPERTY(QString PasswordChar READ passwordChar WRITE setPasswordChar)
    Q_PROPERTY(bool RightToLeft READ rightToLeft WRITE setRightToLeft)
    Q_PROPERTY(QString Text_AsDefaultProperty READ text_AsDefaultProperty WRITE
                   setText_AsDefaultProperty STORED false DESIGNABLE false)
    Q_PROPERTY(bool HideSelection READ hideSelection)
    Q_PROPERTY(quintptr hWnd READ hWnd STORED false DESIGNABLE false)
    Q_PROPERTY(int Index READ index STORED false DESIGNABLE false)
    Q_PROPERTY(bool MultiLine READ multiLine)

public:
    explicit VrexEditbox(QWidget* parent = nullptr);
    ~VrexEditbox() override;

    // The host's message function for the property range message (text, title); by default
    // a message box with the exclamation icon. An empty function restores the default.
    using MessageHook = std::function<void(const QString& text, const QString& title)>;
    static void setMessageHook(MessageHook hook);
    // The sound of a refused key; by default QApplication::beep().
    static void setBeepHook(std::function<void()> hook);
    // The user's locale, which every box reads at focus gain for its numbers, amounts and
    // dates (empty: QLocale::system()). Called at every focus gain, so a host whose locale
    // changes hands over a function that returns the current one.
    static void setUserLocale(std::function<QLocale()> locale);
    // How "Date Sys" boxes read a typed date and show a date (empty functions: by the
    // locale's short-date pattern). A text the reader gives no date for is refused.
    static void setDateRule(std::function<std::optional<QDate>(const QString&)> read,
                            std::function<QString(const QDate&)> write);
    // Today's date for the century rules and new boxes' CenturyYear (empty: the clock).
    static void setClock(std::function<QDate()> today);
    // Shows the library's messages in the language of the locale (from the translations
    // built into the library; German is provided), in place of the one installed before.
    // Returns false, and leaves the messages in English, when the language has none.
    static bool installTranslator(const QLocale& locale);

    // The published names of the values ("Curreny with Symbol", "2 - Two") and the published
    // description of a property (empty when it has none).
    static QString publishedName(enmEditType type);
    static QString publishedName(enmDecimals decimals);
    static QString propertyDescription(const char* property);

    // Selects the whole text.
    Q_INVOKABLE void HighlightText();

    QLineEdit* innerEdit() const;

    enmEditType editType() const;
    void setEditType(enmEditType type);
    enmDecimals decimals() const;
    void setDecimals(enmDecimals decimals);
    int centuryYear() const;
    void setCenturyYear(int year);
    bool autoSelect() const;
    void setAutoSelect(bool on);
    bool autoFocus() const;
    void setAutoFocus(bool on);
    // Colours: the uint overloads take Windows colour values, the QColor ones colours (pass
    // QColor(Qt::red), not Qt::red, which is an integer to C++).
    uint backColor_GotFocus() const;
    void setBackColor_GotFocus(uint color);
    QColor backColor_GotFocusColor() const;
    void setBackColor_GotFocus(const QColor& color);
    uint backColor_Normal() const;
    void setBackColor_Normal(uint color);
    QColor backColor_NormalColor() const;
    void setBackColor_Normal(const QColor& color);
    QString defaultText() const;
    void setDefaultText(const QString& text);
    bool useDefaultText() const;
    void setUseDefaultText(bool on);

    enmAlignment alignment() const;
    void setAlignment(enmAlignment alignment);
    enmAppearance appearance() const;
    void setAppearance(enmAppearance appearance);
    uint backColor() const;
    void setBackColor(uint color);
    QColor backColorColor() const;
    void setBackColor(const QColor& color);
    enmBorderStyle borderStyle() const;
    void setBorderStyle(enmBorderStyle style);
    bool causesValidation() const;
    void setCausesValidation(bool on);
    QString dataField() const;
    void setDataField(const QString& field);
    bool fontBold() const;
    void setFontBold(bool on);
    bool fontItalic() const;
    void setFontItalic(bool on);
    QString fontName() const;
    void setFontName(const QString& name);
    double fontSize() const;
    void setFontSize(double size);
    bool fontStrikethru() const;
    void setFontStrikethru(bool on);
    bool fontUnderline() const;
    void setFontUnderline(bool on);
    uint foreColor() const;
    void setForeColor(uint color);
    QColor foreColorColor() const;
    void setForeColor(const QColor& color);
    int left() const;
    void setLeft(int left);
    QString linkItem() const;
    void setLinkItem(const QString& item);
    bool locked() const;
    void setLocked(bool on);
    int selStart() const;
    void setSelStart(int start);
    int selLength() const;
    void setSelLength(int length);
    int maxLength() const;
    void setMaxLength(int length);
    enmMousePointer mousePointer() const;
    void setMousePointer(enmMousePointer pointer);
    enmOLEDragMode oleDragMode() const;
    void setOLEDragMode(enmOLEDragMode mode);
    enmOLEDropMode oleDropMode() const;
    void setOLEDropMode(enmOLEDropMode mode);
    QString passwordChar() const;
    void setPasswordChar(const QString& character);
    bool rightToLeft() const;
    void setRightToLeft(bool on);
    QString text() const;
    void setText(const QString& text);
    QString text_AsDefaultProperty() const { return text(); }
    void setText_AsDefaultProperty(const QString& text) { setText(text); }
    bool hideSelection() const;
    quintptr hWnd() const;
    int index() const;
    bool multiLine() const;

    // A Windows colour value as a colour on this screen (system colours from the palette),
    // and a colour as a Windows colour value.
    static QColor toColor(uint oleColor);
    static uint toOleColor(const QColor& color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void Change();
    void Click();
    void DblClick();
    void EntryTimedOut();
    void KeyPress(int& KeyAscii);
    void KeyDown(int& KeyCode, int Shift);
    void KeyUp(int& KeyCode, int Shift);
    void MouseDown(int Button, int Shift, double X, double Y);
    void MouseMove(int Button, int Shift, double X, double Y);
    void MouseUp(int Button, int Shift, double X, double Y);
    void OLECompleteDrag(int& Effect);
    void OLEDragDrop(const QMimeData* Data, int& Effect, int Button, int Shift, double X, double Y);
    void OLEDragOver(const QMimeData* Data, int& Effect, int Button, int Shift, double X, double Y,
                     int State);
    void OLEGiveFeedback(int& Effect, bool& DefaultCursors);
    // The drag-source side: Data is the drag's own, for the host to add to.
    void OLESetData(QMimeData* Data, int& DataFormat);
    void OLEStartDrag(QMimeData* Data, int& AllowedEffects);

    // Around leaving the box: GotFocus after the box's own focus gain; Validate after its own
    // completion and formatting (Cancel keeps the focus in the box; it arrives set when the
    // box refused the entry itself, a date it cannot read); LostFocus at the end.
    void GotFocus();
    void Validate(bool& Cancel);
    void LostFocus();
    // A property was set; the design-time store saves the ones named here.
    void propertyChanged(const QString& name);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class VrexEditboxPrivate;
    friend class InnerEdit;
    std::unique_ptr<VrexEditboxPrivate> d;
};
