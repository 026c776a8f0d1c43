#include <core/reporters.h>

#include <accpac/errors.h>
#include <odbc/errors.h>
#include <system/comerror.h>

#include <scriptedboxes.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using modGeneral::MsgButtons;
using modGeneral::MsgIcon;

namespace {

// An error collection as a session leaves it after a failed call.
class FakeAccpacErrors : public AccpacErrors
{
public:
    std::vector<std::pair<QString, int>> entries;
    int clears = 0;

    int Count() const override { return int(entries.size()); }
    std::pair<QString, int> Get(int index) const override { return entries.at(index); }
    QString Message(int index) const override { return entries.at(index).first; }
    void Clear() override
    {
        entries.clear();
        ++clears;
    }
};

class FakeAdoErrors : public AdoErrors
{
public:
    std::vector<AdoError> entries;
    int clears = 0;

    int Count() const override { return int(entries.size()); }
    AdoError Item(int index) const override { return entries.at(index); }
    void Clear() override
    {
        entries.clear();
        ++clears;
    }
};

} // namespace

TEST(ErrorMessenger, ShowsTheGenericBoxAndNothingForNumberZero)
{
    ScriptedBoxes boxes;
    modGeneral::ErrorMessenger(0, QStringLiteral("ignored"), QStringLiteral("frmMain.Form_Load"));
    EXPECT_TRUE(boxes.shown.isEmpty());

    modGeneral::ErrorMessenger(-2147467259, QStringLiteral("Unspecified error"),
                               QStringLiteral("frmMain.Form_Load"));
    ASSERT_EQ(boxes.shown.size(), 1);
    const auto& box = boxes.shown.first();
    EXPECT_EQ(box.text, QStringLiteral("-2147467259; Unspecified error\r\n\nIn Procedure: "
                                       "frmMain.Form_Load.\r\n\nPlease contact Norvane if the "
                                       "error occurs frequenly."));
    EXPECT_EQ(box.title, QStringLiteral("Tallymerge Error"));
    EXPECT_EQ(box.icon, MsgIcon::Exclamation);
    EXPECT_EQ(box.buttons, MsgButtons::OK);
}

TEST(ErrorMessenger, FallsBackWhenTheBoxItselfFails)
{
    int calls = 0;
    QList<modGeneral::ShownBox> shown;
    modGeneral::setMsgBoxAnswerer([&](const modGeneral::ShownBox& box) {
        if (++calls == 1)
            throw ComError(ComErrorNumber::OutOfMemory, QStringLiteral("Out of memory"));
        shown.append(box);
        return modGeneral::MsgResult::OK;
    });
    EXPECT_NO_THROW(modGeneral::ErrorMessenger(13, QStringLiteral("Type mismatch"),
                                               QStringLiteral("modStart.Main")));
    modGeneral::setMsgBoxAnswerer({});
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.first().text,
              QStringLiteral("7: Out of memory\r\n\nIn Procedure: modGeneral.ErrorMessenger.\r\n\n"
                             "Please contact Norvane if the error occurs frequently."));
    EXPECT_EQ(shown.first().title, QStringLiteral("Tallymerge Error"));
}

TEST(ErrorAccpac, ShowsEachEntryAboveWarningPriorityThenClears)
{
    ScriptedBoxes boxes;
    FakeAccpacErrors errors;
    errors.entries = {{QStringLiteral("Customer 1200 is on hold."), 3},
                      {QStringLiteral("A warning."), 1},
                      {QStringLiteral("Another warning."), 2},
                      {QStringLiteral("Record not found."), 0}};
    modGeneral::ErrorAccpac(errors, 1, QStringLiteral("x"), QStringLiteral("frmMain.Load_Grid"));
    EXPECT_EQ(
        boxes.texts(),
        QStringList({QStringLiteral("Customer 1200 is on hold.\r\nIn procedure "
                                    "frmMain.Load_Grid."),
                     QStringLiteral("Record not found.\r\nIn procedure frmMain.Load_Grid.")}));
    for (const auto& box : boxes.shown) {
        EXPECT_EQ(box.title, QStringLiteral("Sage Accpac Error"));
        EXPECT_EQ(box.icon, MsgIcon::Exclamation);
    }
    EXPECT_EQ(errors.clears, 1);
    EXPECT_EQ(errors.Count(), 0);
}

TEST(ErrorAccpac, WarningsOnlyShowNothingAndEmptyCollectionFallsBack)
{
    ScriptedBoxes boxes;
    FakeAccpacErrors errors;
    errors.entries = {{QStringLiteral("w1"), 1}, {QStringLiteral("w2"), 2}};
    modGeneral::ErrorAccpac(errors, 5, QStringLiteral("x"),
                            QStringLiteral("modGeneral.Valid_BankCode"));
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(errors.Count(), 0);

    modGeneral::ErrorAccpac(errors, 91, QStringLiteral("Object variable not set"),
                            QStringLiteral("modGeneral.Valid_BankCode"));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown.first().title, QStringLiteral("Tallymerge Error"));
    EXPECT_TRUE(
        boxes.shown.first().text.startsWith(QStringLiteral("91; Object variable not set\r\n")));
}

// A procedure's work reported through reportFailures: a completed work shows nothing, a
// failure of any standard kind shows its reporter's box under the procedure's source; with
// no session signed on, the Accpac reporter has no collection and gives the generic box.
TEST(ReportFailures, ReportsTheWorksFailureUnderItsSourceAndSaysWhetherItEnded)
{
    ScriptedBoxes boxes;
    int steps = 0;
    EXPECT_TRUE(modGeneral::reportFailures(QStringLiteral("frmMain.Form_Load"),
                                           modGeneral::Reporter::Messenger, [&] { ++steps; }));
    EXPECT_EQ(steps, 1);
    EXPECT_TRUE(boxes.shown.isEmpty());

    EXPECT_FALSE(modGeneral::reportFailures(QStringLiteral("frmPrepay.Show_NewBatch"),
                                            modGeneral::Reporter::Messenger,
                                            [] { throw std::runtime_error("Disk full"); }));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown.first().text,
              QStringLiteral("5; Disk full\r\n\nIn Procedure: frmPrepay.Show_NewBatch.\r\n\n"
                             "Please contact Norvane if the error occurs frequenly."));

    EXPECT_FALSE(modGeneral::reportFailures(
        QStringLiteral("frmPrepay.Valid_ARBatch"), modGeneral::Reporter::Accpac,
        [] { throw ComError(91, QStringLiteral("Object variable not set")); }));
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown.last().title, QStringLiteral("Tallymerge Error"));
    EXPECT_TRUE(boxes.shown.last().text.startsWith(
        QStringLiteral("91; Object variable not set\r\n\nIn Procedure: frmPrepay.Valid_ARBatch.")));
}

TEST(ErrorADO, SecondBoxRepeatsTheFirstErrorsText)
{
    ScriptedBoxes boxes;
    FakeAdoErrors errors;
    errors.entries = {{0, QStringLiteral("[unixODBC][Driver Manager]Data source name not found"),
                       QStringLiteral("Microsoft OLE DB Provider for ODBC Drivers"),
                       QStringLiteral("IM002"), 0},
                      {0, QStringLiteral("[PostgreSQL] password authentication failed"),
                       QStringLiteral("Microsoft OLE DB Provider for ODBC Drivers"),
                       QStringLiteral("28P01"), 210}};
    modGeneral::ErrorADO(errors, -2147467259, QStringLiteral("x"),
                         QStringLiteral("frmConfig.btnTest_Click"));
    const QString sep = QStringLiteral("\r\n\t   ");
    const QString first =
        QStringLiteral("[unixODBC]") + sep + QStringLiteral("[Driver Manager]") + sep +
        QStringLiteral("Data source name not found") + sep + sep +
        QStringLiteral("(Source\t\t: Microsoft OLE DB Provider for ODBC Drivers)") + sep +
        QStringLiteral("(SQL State\t: IM002)") + sep + QStringLiteral("(NativeError\t: 0)");
    const QString second =
        QStringLiteral("[PostgreSQL]") + sep + QStringLiteral("password authentication failed") +
        sep + sep + QStringLiteral("(Source\t\t: Microsoft OLE DB Provider for ODBC Drivers)") +
        sep + QStringLiteral("(SQL State\t: 28P01)") + sep + QStringLiteral("(NativeError\t: 210)");
    const QString tail = QStringLiteral("\r\n\nIn Procedure: frmConfig.btnTest_Click.\r\nPlease "
                                        "contact Norvane if the error occurs frequently.");
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[0].text, first + tail);
    EXPECT_EQ(boxes.shown[1].text, first + second + tail);
    EXPECT_EQ(boxes.shown[1].title, QStringLiteral("Database Error"));
    EXPECT_EQ(errors.clears, 1);

    // No provider error: the generic box with the operation's own number and text.
    modGeneral::ErrorADO(errors, 3709, QStringLiteral("The connection cannot be used."),
                         QStringLiteral("frmConfig.btnTest_Click"));
    ASSERT_EQ(boxes.shown.size(), 3);
    EXPECT_EQ(boxes.shown[2].title, QStringLiteral("Tallymerge Error"));
}
