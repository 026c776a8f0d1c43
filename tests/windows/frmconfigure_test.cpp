#include "configurewindow.h"

#include <core/appstate.h>
#include <core/stylebuttons.h>
#include <settings/cryption.h>

#include <accpac/standin.h>

#include <QPushButton>
#include <QToolButton>

using modGeneral::MsgIcon;

namespace {

// Picks the finder row whose first value is `code`; records the rows offered.
struct Picker
{
    explicit Picker(QString code) : m_code(std::move(code))
    {
        Accpac::Testing::setFinderPicker([this](const QList<QVariantList>& rows) {
            ++shown;
            for (int i = 0; i < rows.size(); ++i) {
                offered.append(rows[i].value(0).toString());
                if (rows[i].value(0).toString() == m_code)
                    return i;
            }
            return -1;
        });
    }
    ~Picker() { Accpac::Testing::setFinderPicker({}); }
    void pick(const QString& code) { m_code = code; }

    int shown = 0;
    QStringList offered;

private:
    QString m_code;
};

QStringList lines(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

QStringList storedSecurityIds()
{
    QStringList ids;
    const QString list = Setting::readSecurityList();
    if (list.isEmpty())
        return ids;
    for (const QString& item : list.split(QLatin1Char(',')))
        ids.append(modCryption::DecryptPWD(item));
    return ids;
}

} // namespace

TEST_F(ConfigureWindowTest, FirstOpeningStoresItsDefaultsAndClosingMarksTheProgramConfigured)
{
    frmConfigure& w = open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tallymerge - Configuration"));
    EXPECT_EQ(
        lines(ui().lstConfig),
        QStringList({"Database Engine", "ODBC Connection", "Miscellaneous", "Prepayments",
                     "Delivery Charge", "Security", "Order Number Options", "Invoicing Options"}));
    EXPECT_EQ(ui().btnTest->toolTip(), QStringLiteral("Save the ODBC information"));
    EXPECT_EQ(ui().btnCharge->toolTip(), QStringLiteral("Misc.Charge Finder"));
    EXPECT_TRUE(ui().btnCharge->text().isEmpty());
    EXPECT_EQ(ui().chkRange->text(),
              QStringLiteral("Use Date Range for searching 'All' Customers having\n"
                             "- Orders with Shipment Numbers after a day end.\n"
                             "- Orders with no Ship Via field and no shipment number."));
    EXPECT_EQ(w.height(), 290); // 4350 twips
    // Only the three values whose controls the load changes are stored.
    EXPECT_EQ(stored(Setting::DBEngine), QStringLiteral("1"));
    EXPECT_EQ(stored(Setting::OrderSeparator), QStringLiteral("0"));
    EXPECT_EQ(stored(Setting::PrintInv), QStringLiteral("1"));
    for (const Setting::Entry* entry :
         {&Setting::Configure, &Setting::Auth, &Setting::DSN, &Setting::DateRange,
          &Setting::BatchInv, &Setting::OrderNum, &Setting::DeliveryCharge, &Setting::RecType,
          &Setting::BankCode, &Setting::SuffixLocked, &Setting::InvComplete})
        EXPECT_EQ(stored(*entry), QStringLiteral("<absent>")) << entry->name;
    EXPECT_TRUE(ui().optEngine_1->isChecked());
    EXPECT_TRUE(ui().optAuth->isChecked());
    EXPECT_FALSE(ui().vreUName->isEnabled());
    EXPECT_FALSE(ui().vrePWD->isEnabled());
    EXPECT_TRUE(ui().chkPrint->isChecked());
    EXPECT_EQ(ui().cboSeparator->currentIndex(), 0);
    EXPECT_FALSE(ui().cboSeparator->isEnabled());
    EXPECT_FALSE(ui().vreCharge->isEnabled());
    EXPECT_EQ(ui().vreCharge->backColor(), modGeneral::SystemButtonFace);
    // One page at a time, at the same place.
    EXPECT_TRUE(w.fraConfig(0)->isVisible());
    for (int i = 1; i < 8; ++i)
        EXPECT_FALSE(w.fraConfig(i)->isVisible()) << i;
    showPage(6);
    EXPECT_TRUE(w.fraConfig(6)->isVisible());
    EXPECT_FALSE(w.fraConfig(0)->isVisible());
    EXPECT_EQ(w.fraConfig(6)->pos(), w.fraConfig(0)->pos());

    bool closed = false;
    QObject::connect(&w, &frmConfigure::closed, [&] { closed = true; });
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    EXPECT_TRUE(closed);
    EXPECT_EQ(stored(Setting::Configure), QStringLiteral("True"));
    EXPECT_EQ(stored(Setting::SuffixLocked), QStringLiteral("<absent>"));

    // The window's close box does the same.
    Setting::save(Setting::Configure, QStringLiteral("False"));
    open();
    m_window->close();
    EXPECT_EQ(stored(Setting::Configure), QStringLiteral("True"));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(ConfigureWindowTest, EveryControlStoresItsSettingWhenItChanges)
{
    Setting::save(Setting::DelCharge, QStringLiteral("DEL"));
    open();
    showPage(0);
    ui().optEngine_2->click();
    EXPECT_EQ(stored(Setting::DBEngine), QStringLiteral("2"));
    showPage(2);
    ui().chkRange->click();
    ui().chkBatch->click();
    ui().chkPrint->click();
    EXPECT_EQ(stored(Setting::DateRange), QStringLiteral("1"));
    EXPECT_EQ(stored(Setting::BatchInv), QStringLiteral("1"));
    EXPECT_EQ(stored(Setting::PrintInv), QStringLiteral("0"));
    showPage(7);
    ui().chkInvWarn->click();
    EXPECT_EQ(stored(Setting::InvoiceWarning), QStringLiteral("1"));

    // The delivery charge box brings back the stored code and its description.
    showPage(4);
    ui().chkDeliveryCharge->click();
    EXPECT_EQ(stored(Setting::DeliveryCharge), QStringLiteral("1"));
    EXPECT_TRUE(ui().vreCharge->isEnabled());
    EXPECT_TRUE(ui().btnCharge->isEnabled());
    EXPECT_EQ(ui().vreCharge->text(), QStringLiteral("DEL"));
    EXPECT_EQ(ui().lblChargeDesc->text(), QStringLiteral("Delivery charge"));
    ui().chkDeliveryCharge->click();
    EXPECT_EQ(stored(Setting::DeliveryCharge), QStringLiteral("0"));
    EXPECT_FALSE(ui().vreCharge->isEnabled());
    EXPECT_FALSE(ui().lblChargeCaption->isEnabled());

    // A database user: the user boxes open and take the focus; Windows Authentication
    // empties and closes them again.
    showPage(1);
    ui().optUser->click();
    EXPECT_TRUE(ui().vreUName->isEnabled());
    EXPECT_TRUE(ui().vreUName->innerEdit()->hasFocus());
    QTest::keyClicks(ui().vreUName->innerEdit(), QStringLiteral("someone"));
    ui().optAuth->click();
    EXPECT_TRUE(ui().vreUName->text().isEmpty());
    EXPECT_FALSE(ui().vreUName->isEnabled());
    EXPECT_FALSE(ui().lblPWDCaption->isEnabled());
    // Neither is stored before a successful test.
    EXPECT_EQ(stored(Setting::Auth), QStringLiteral("<absent>"));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(ConfigureWindowTest, TheRevisionSuffixLocksOnceTheWindowClosesWithIt)
{
    open();
    showPage(6);
    ui().chkSuffix->click();
    EXPECT_EQ(stored(Setting::OrderNum), QStringLiteral("1"));
    EXPECT_TRUE(ui().cboSeparator->isEnabled());
    EXPECT_TRUE(ui().chkInvComplete->isEnabled());
    ui().cboSeparator->setCurrentIndex(2);
    EXPECT_EQ(stored(Setting::OrderSeparator), QStringLiteral("2"));
    close();
    EXPECT_EQ(stored(Setting::SuffixLocked), QStringLiteral("True"));

    open();
    EXPECT_TRUE(ui().chkSuffix->isChecked());
    EXPECT_FALSE(ui().chkSuffix->isEnabled());
    EXPECT_FALSE(ui().cboSeparator->isEnabled());
    EXPECT_FALSE(ui().lblSeparator->isEnabled());
    EXPECT_EQ(ui().cboSeparator->currentIndex(), 2);
    EXPECT_TRUE(ui().chkInvComplete->isEnabled());
    close();

    // Ticked and cleared again before closing: nothing is locked.
    hives.reports.clear();
    Setting::save(Setting::SuffixLocked, QStringLiteral("False"));
    Setting::save(Setting::OrderNum, QStringLiteral("0"));
    open();
    showPage(6);
    ui().chkSuffix->click();
    ui().chkSuffix->click();
    close();
    EXPECT_EQ(stored(Setting::SuffixLocked), QStringLiteral("False"));
}

TEST_F(ConfigureWindowTest, StoredValuesThatDoNotConvertAreReportedAndTheWindowStaysUsable)
{
    Setting::save(Setting::DBEngine, QStringLiteral("SQL"));
    Setting::save(Setting::OrderSeparator, QStringLiteral("7"));
    Setting::save(Setting::Auth, QStringLiteral("maybe"));
    Setting::save(Setting::BatchInv, QStringLiteral("1"));
    open();
    ASSERT_EQ(boxes.shown.size(), 3);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Tallymerge Error"));
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("13; Type mismatch\r\n\nIn Procedure: frmConfigure.Form_Load.\r\n\n"
                             "Please contact Norvane if the error occurs frequenly."));
    EXPECT_TRUE(boxes.shown[1].text.startsWith(QStringLiteral("13; Type mismatch")));
    EXPECT_TRUE(boxes.shown[2].text.startsWith(QStringLiteral("380; Invalid property value")));
    // The rest is filled, the first page shows, and the engine can be chosen.
    EXPECT_TRUE(ui().chkBatch->isChecked());
    EXPECT_TRUE(ui().optAuth->isChecked());
    EXPECT_EQ(ui().cboSeparator->currentIndex(), 0);
    EXPECT_EQ(stored(Setting::OrderSeparator), QStringLiteral("0"));
    EXPECT_TRUE(m_window->fraConfig(0)->isVisible());
    EXPECT_FALSE(m_window->isLoading());
    EXPECT_EQ(stored(Setting::DBEngine), QStringLiteral("SQL"));
    ui().optEngine_1->click();
    EXPECT_EQ(stored(Setting::DBEngine), QStringLiteral("1"));
}

TEST_F(ConfigureWindowTest, OnlyAdminSeesAndEditsTheSecurityList)
{
    Setting::saveSecurityList(modCryption::EncryptPWD(QStringLiteral("CLERK")) + "," +
                              modCryption::EncryptPWD(QStringLiteral("SUPER")));
    open();
    EXPECT_EQ(lines(ui().lstSecurity), QStringList({"CLERK - Carl Jensen (Billing clerk)",
                                                    "SUPER - Susan Porter (Supervisor)"}));
    showPage(5);
    EXPECT_EQ(ui().lblSecurity->text(),
              QStringLiteral("Allow access to program Configuration and  Order Completion."));
    EXPECT_TRUE(ui().lstSecurity->isVisible());
    EXPECT_TRUE(ui().btnSecurity->isVisible());
    EXPECT_TRUE(ui().btnRemove->isVisible());
    close();

    signOn(Sample::ClerkId, Sample::ClerkPassword);
    open();
    EXPECT_EQ(ui().lstSecurity->count(), 0);
    showPage(5);
    EXPECT_TRUE(m_window->fraConfig(5)->isVisible());
    EXPECT_EQ(ui().lblSecurity->text(),
              QStringLiteral("You do not have permissions to view 'Security'."));
    EXPECT_FALSE(ui().lstSecurity->isVisible());
    EXPECT_FALSE(ui().btnSecurity->isVisible());
    EXPECT_FALSE(ui().btnRemove->isVisible());
    showPage(6);
    EXPECT_TRUE(m_window->fraConfig(6)->isVisible());
    close();
    // The list is left as it was.
    EXPECT_EQ(storedSecurityIds(), QStringList({"CLERK", "SUPER"}));
}

TEST_F(ConfigureWindowTest, UsersAreAddedThroughTheFinderAndRemovedToAnEmptyList)
{
    Picker picker(QStringLiteral("CLERK"));
    open();
    showPage(5);
    ui().btnSecurity->click();
    EXPECT_EQ(picker.shown, 1);
    // Only active accounts are offered.
    EXPECT_FALSE(picker.offered.contains(QStringLiteral("TEMP")));
    EXPECT_EQ(lines(ui().lstSecurity), QStringList({"CLERK - Carl Jensen (Billing clerk)"}));
    EXPECT_EQ(storedSecurityIds(), QStringList({"CLERK"}));

    // The same user twice, and F5 in the list opens the finder as well.
    ui().btnSecurity->click();
    picker.pick(Sample::SupervisorId);
    ui().lstSecurity->setFocus();
    QTest::keyClick(ui().lstSecurity, Qt::Key_F5);
    EXPECT_EQ(storedSecurityIds(), QStringList({"CLERK", "CLERK", "SUPER"}));
    const QStringList items = Setting::readSecurityList().split(QLatin1Char(','));
    EXPECT_EQ(items[0], modCryption::EncryptPWD(QStringLiteral("CLERK")));

    // A cancelled finder changes nothing.
    picker.pick(QStringLiteral("nobody"));
    ui().btnSecurity->click();
    EXPECT_EQ(ui().lstSecurity->count(), 3);
    EXPECT_EQ(storedSecurityIds().size(), 3);

    EXPECT_FALSE(ui().btnRemove->isEnabled());
    for (int left = 3; left > 0; --left) {
        QListWidgetItem* first = ui().lstSecurity->item(0);
        QTest::mouseClick(ui().lstSecurity->viewport(), Qt::LeftButton, {},
                          ui().lstSecurity->visualItemRect(first).center());
        ASSERT_TRUE(ui().btnRemove->isEnabled());
        ui().btnRemove->click();
        EXPECT_FALSE(ui().btnRemove->isEnabled());
        EXPECT_EQ(ui().lstSecurity->count(), left - 1);
    }
    EXPECT_EQ(Setting::readSecurityList(), QString());
    EXPECT_EQ(Read_UserSetting(QString::fromLatin1(Setting::SecurityApplication),
                               QString::fromLatin1(Setting::SecuritySection),
                               QStringLiteral("Security"), QStringLiteral("<absent>")),
              QString());
    close();
    open();
    EXPECT_EQ(ui().lstSecurity->count(), 0);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(ConfigureWindowTest, CodeBoxesAreValidatedWhenLeftAfterAChange)
{
    Setting::save(Setting::RecType, QStringLiteral("BOGUS"));
    Setting::save(Setting::BankCode, QStringLiteral("SPRINGBK"));
    open();
    EXPECT_EQ(ui().lblRecType->text(), QString());
    EXPECT_EQ(ui().lblBankCode->text(), QStringLiteral("Springfield National Bank"));
    showPage(3);

    // Tabbing through without a change checks nothing, not even a code that is invalid.
    enter(ui().vreRecType);
    leave(ui().vreRecType);
    EXPECT_TRUE(ui().btnRecType->hasFocus());
    enter(ui().vreBankCode);
    leave(ui().vreBankCode);
    EXPECT_TRUE(ui().btnBankCode->hasFocus());
    EXPECT_TRUE(boxes.shown.isEmpty());

    // An unknown receipt type: the message, the focus kept, the text highlighted.
    retype(ui().vreRecType, QStringLiteral("zzz"));
    leave(ui().vreRecType);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Invalid Entry"));
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("The entered Receipt Type is not a valid Receipt Type.\r\n"
                             "Please enter a valid Receipt Type or use the finder."));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui().vreRecType->innerEdit()->hasFocus(); }, 2000));
    EXPECT_EQ(ui().vreRecType->innerEdit()->selectedText(), QStringLiteral("ZZZ"));
    EXPECT_EQ(stored(Setting::RecType), QStringLiteral("BOGUS"));
    // Left again without a new change, it is checked again.
    leave(ui().vreRecType);
    EXPECT_EQ(boxes.shown.size(), 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui().vreRecType->innerEdit()->hasFocus(); }, 2000));

    // A blank receipt type is accepted: the description cleared, nothing stored.
    ui().lblRecType->setText(QStringLiteral("old"));
    ui().vreRecType->HighlightText();
    QTest::keyClick(ui().vreRecType->innerEdit(), Qt::Key_Backspace);
    leave(ui().vreRecType);
    EXPECT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(ui().lblRecType->text(), QString());
    EXPECT_EQ(stored(Setting::RecType), QStringLiteral("BOGUS"));

    retype(ui().vreRecType, QStringLiteral(" visa"));
    leave(ui().vreRecType);
    EXPECT_EQ(stored(Setting::RecType), QStringLiteral("VISA"));

    // A blank bank code is refused; an inactive one too; an active one is stored.
    retype(ui().vreBankCode, QString());
    QTest::keyClicks(ui().vreBankCode->innerEdit(), QStringLiteral(" "));
    QTest::keyClick(ui().vreBankCode->innerEdit(), Qt::Key_Backspace);
    leave(ui().vreBankCode);
    ASSERT_EQ(boxes.shown.size(), 3);
    EXPECT_EQ(boxes.shown[2].text,
              QStringLiteral("The entered Bank Code is not a valid Bank Code.\r\n"
                             "Please enter a valid Bank Code or use the finder."));
    EXPECT_EQ(ui().lblBankCode->text(), QStringLiteral("Springfield National Bank"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui().vreBankCode->innerEdit()->hasFocus(); }, 2000));
    QTest::keyClicks(ui().vreBankCode->innerEdit(), QStringLiteral("oldbank"));
    leave(ui().vreBankCode);
    EXPECT_EQ(boxes.shown.size(), 4);
    EXPECT_EQ(stored(Setting::BankCode), QStringLiteral("SPRINGBK"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui().vreBankCode->innerEdit()->hasFocus(); }, 2000));
    retype(ui().vreBankCode, QStringLiteral("tdcad"));
    leave(ui().vreBankCode);
    EXPECT_EQ(boxes.shown.size(), 4);
    EXPECT_EQ(stored(Setting::BankCode), QStringLiteral("TDCAD"));

    // The misc. charge: blank accepted, unknown refused, known stored.
    showPage(4);
    ui().chkDeliveryCharge->click();
    retype(ui().vreCharge, QStringLiteral("nope"));
    leave(ui().vreCharge);
    ASSERT_EQ(boxes.shown.size(), 5);
    EXPECT_EQ(boxes.shown[4].text,
              QStringLiteral("The entered Misc. Charge is not a valid Misc. Charge.\r\n"
                             "Please enter a valid Misc. Charge or use the finder."));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui().vreCharge->innerEdit()->hasFocus(); }, 2000));
    ui().vreCharge->HighlightText();
    QTest::keyClick(ui().vreCharge->innerEdit(), Qt::Key_Backspace);
    leave(ui().vreCharge);
    EXPECT_EQ(boxes.shown.size(), 5);
    EXPECT_EQ(stored(Setting::DelCharge), QStringLiteral("<absent>"));
    retype(ui().vreCharge, QStringLiteral("frt"));
    leave(ui().vreCharge);
    EXPECT_EQ(stored(Setting::DelCharge), QStringLiteral("FRT"));
    EXPECT_EQ(boxes.shown.size(), 5);
}

TEST_F(ConfigureWindowTest, FindersFillTheCodeBoxesAndStoreTheCode)
{
    Picker picker(QStringLiteral("TDCAD"));
    open();
    showPage(3);
    // F5 in the bank code box; inactive banks are not offered.
    enter(ui().vreBankCode);
    QTest::keyClick(ui().vreBankCode->innerEdit(), Qt::Key_F5);
    EXPECT_EQ(picker.shown, 1);
    EXPECT_FALSE(picker.offered.contains(QStringLiteral("OLDBANK")));
    EXPECT_EQ(ui().vreBankCode->text(), QStringLiteral("TDCAD"));
    EXPECT_EQ(ui().lblBankCode->text(), QStringLiteral("Toronto Dominion - CAD account"));
    EXPECT_EQ(stored(Setting::BankCode), QStringLiteral("TDCAD"));

    picker.pick(QStringLiteral("WIRE"));
    ui().btnRecType->click();
    EXPECT_EQ(ui().vreRecType->text(), QStringLiteral("WIRE"));
    EXPECT_EQ(ui().lblRecType->text(), QStringLiteral("Wire transfer"));
    EXPECT_EQ(stored(Setting::RecType), QStringLiteral("WIRE"));

    showPage(4);
    ui().chkDeliveryCharge->click();
    picker.pick(QStringLiteral("HANDL"));
    ui().btnCharge->click();
    EXPECT_EQ(ui().lblChargeDesc->text(), QStringLiteral("Handling"));
    EXPECT_EQ(stored(Setting::DelCharge), QStringLiteral("HANDL"));

    // Cancelled: nothing changes.
    picker.pick(QString());
    ui().btnCharge->click();
    EXPECT_EQ(ui().vreCharge->text(), QStringLiteral("HANDL"));
    EXPECT_EQ(stored(Setting::DelCharge), QStringLiteral("HANDL"));
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ConfigureWindowTest, AFinderWithoutASessionReportsThroughTheAccpacReporter)
{
    open();
    m_site.reset(); // the session is closed under the window
    m_window->btnBankCode_Click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("frmConfigure.btnBankCode_Click")));
    EXPECT_EQ(stored(Setting::BankCode), QStringLiteral("<absent>"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(StyleButtons, RestylesThePushButtonsForTheLookOfTheSystem)
{
    QWidget window;
    auto* plain = new QPushButton(&window);
    plain->setProperty("ButtonType", 2);
    auto* picture = new QToolButton(&window);
    picture->setProperty("ButtonType", 7);
    auto* other = new QPushButton(&window);
    other->setProperty("ButtonType", 5);
    auto* untyped = new QPushButton(&window);

    modGeneral::IsWinXP = true;
    modGeneral::Style_Buttons(&window);
    modGeneral::IsWinXP = false;
    EXPECT_EQ(plain->property("ButtonType").toInt(), 3);
    EXPECT_EQ(plain->property("MouseOver").toUInt(), modGeneral::SystemButtonText);
    EXPECT_EQ(picture->property("ButtonType").toInt(), 9);
    EXPECT_EQ(other->property("ButtonType").toInt(), 5);
    EXPECT_FALSE(untyped->property("BackColor").isValid());
    EXPECT_FALSE(plain->property("BackColor").isValid());

    modGeneral::Style_Buttons(&window);
    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(plain), static_cast<QAbstractButton*>(picture),
          static_cast<QAbstractButton*>(untyped)})
        EXPECT_EQ(button->property("BackColor").toUInt(), modGeneral::SystemButtonFace);
    EXPECT_EQ(plain->property("ButtonType").toInt(), 3);
}
