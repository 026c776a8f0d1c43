// Browse filters as the program sends them, and the ones it must refuse.
#include "sitetest.h"

#include <system/comerror.h>

#include <gtest/gtest.h>

namespace {

class AccpacFilters : public SiteTest
{
protected:
    // The values of field for every record the filter selects, in key order.
    QStringList select(const QString& viewId, const QString& filter, const QString& field,
                       int order = 0)
    {
        auto view = link->OpenView(viewId);
        view->SetOrder(order);
        view->Browse(filter, true);
        QStringList values;
        while (view->Fetch())
            values << view->Field(field).GetValue().toString();
        return values;
    }
};

TEST_F(AccpacFilters, EveryFormTheProgramSends)
{
    // Text in double quotes (the shipment look-up), first shipment under key 2.
    EXPECT_EQ(select("OE0692", "ORDNUMBER = \"ORD001003\"", "SHINUMBER", 2),
              QStringList({"SH1003-1", "SH1003-2"}));
    // Numbers bare, joined with AND (the completion filters).
    auto orders = link->OpenView(QStringLiteral("OE0520"));
    orders->SetOrder(1);
    orders->Field(QStringLiteral("ORDNUMBER")).SetValue(QStringLiteral("ORD001003"));
    ASSERT_TRUE(orders->Read());
    const QString uniq = orders->Field(QStringLiteral("ORDUNIQ")).GetValue().toString();
    EXPECT_EQ(select("OE0692", "ORDUNIQ = " + uniq + " AND COMPLETE = 1", "SHINUMBER").size(), 2);
    EXPECT_EQ(select("OE0692", "ORDUNIQ = " + uniq + " AND SHINETWTX > 0", "SHINUMBER").size(), 0);
    // Status filters of the finders.
    EXPECT_EQ(select("BK0001", "INACTIVE = 0", "BANK"),
              QStringList({"EUROBK", "SPRINGBK", "TDCAD"}));
    EXPECT_EQ(select("AR0041", "BATCHSTAT = 1", "CNTBTCH"), QStringList({"1", "3"}));
    EXPECT_EQ(select("AS0003", "ACCTSTATUS = 0", "USERID"),
              QStringList({"ADMIN", "CLERK", "SUPER"}));
    // The credit approval's three quoted comparisons, and the profile resources.
    EXPECT_EQ(select("AS0002", "USERID = \"SUPER\" AND COMPANYID = \"SAMINC\" AND PGMID = \"OE\"",
                     "PROFILEID"),
              QStringList({"OECLERK", "OESUPER"}));
    EXPECT_EQ(select("AS0001", "PGMID = \"OE\" AND PROFILEID = \"OESUPER\"", "RESOURCEID"),
              QStringList({"OECREDIT", "OEINVOICE"}));
    // OR, parentheses, the other comparisons, lower-case keywords, no filter.
    EXPECT_EQ(
        select("AR0024", "(CODECURN = \"CAD\" OR CODECURN = \"GBP\") AND AMTBALDUET > 0", "IDCUST"),
        QStringList({"1400", "1410", "1600"}));
    EXPECT_EQ(select("AR0024", "CODECURN <> \"USD\" and CODECURN != \"CAD\" or IDCUST <= \"1100\"",
                     "IDCUST"),
              QStringList({"1100", "1500", "1510", "1600", "1610", "1700"}));
    EXPECT_EQ(select("AR0024", "", "IDCUST").size(), 20);
    // A bare number against a text field compares as written.
    EXPECT_EQ(select("AR0024", "IDCUST = 1100", "IDCUST"), QStringList({"1100"}));
    EXPECT_TRUE(select("AR0024", "IDCUST = 01100", "IDCUST").isEmpty());
    EXPECT_EQ(select("AR0024", "AMTCRLIMT >= 50000 AND AMTCRLIMT < 1000000000.5", "IDCUST"),
              QStringList({"1210", "1700", "1830"}));
}

TEST_F(AccpacFilters, TextValuesMayHoldDoubleQuotesAndAreNeverSpliced)
{
    EXPECT_EQ(select("AR0024", "NAMECUST = \"Bayou Kitchen \"Supply\" Co.\"", "IDCUST"),
              QStringList({"1820"}));
    // A value built to break out of its quotes stays a value.
    EXPECT_TRUE(select("AR0024", "IDCUST = \"x\"; DROP TABLE ARCUS; --\"", "IDCUST").isEmpty());
    // SQL after a closed value is not a comparison: refused.
    EXPECT_THROW(select("AR0024", "IDCUST = \"x\" OR 1=1; DROP TABLE ARCUS; --\"", "IDCUST"),
                 ComError);
    EXPECT_EQ(
        select("AR0024", "IDCUST = \"1100\" OR IDCUST = \"'); DELETE FROM ARCUS; --\"", "IDCUST"),
        QStringList({"1100"}));
    EXPECT_EQ(select("AR0024", "", "IDCUST").size(), 20);
}

TEST_F(AccpacFilters, MalformedFiltersNameThePosition)
{
    struct Case
    {
        QString filter;
        int position;
        const char* says;
    };
    const Case cases[] = {
        {"IDCUST = ", 10, "value expected"},
        {"IDCUST \"1100\"", 8, "comparison"},
        {"NOSUCH = 1", 1, "NOSUCH"},
        {"(IDCUST = \"1100\"", 17, "\")\" expected"},
        {"AMTCRLIMT = abc", 13, "number"},
        {"AMTCRLIMT = \"lots\"", 13, "not a number"},
        {"IDCUST = \"1100", 10, "closing double quote"},
        {"IDCUST = \"1100\" AND", 20, "field name"},
        {"SWACTV = 1 XOR SWHOLD = 0", 12, "AND, OR"},
        {"= 5", 1, "field name"},
    };
    auto view = link->OpenView(QStringLiteral("AR0024"));
    for (const Case& c : cases) {
        session->Errors().Clear();
        try {
            view->Browse(c.filter, true);
            ADD_FAILURE() << "accepted: " << c.filter.toStdString();
        } catch (const ComError& e) {
            ASSERT_EQ(session->Errors().Count(), 1) << c.filter.toStdString();
            EXPECT_EQ(session->Errors().Get(0).second, 3);
            const QString message = session->Errors().Message(0);
            EXPECT_TRUE(message.contains(QStringLiteral("position %1:").arg(c.position)))
                << c.filter.toStdString() << " -> " << message.toStdString();
            EXPECT_TRUE(message.contains(QLatin1String(c.says)))
                << c.filter.toStdString() << " -> " << message.toStdString();
        }
    }
    // The filter shows as sent, whatever "%1", "%2" or "&" it holds.
    for (const QString& filter :
         {QStringLiteral("IDCUST = \"%1 & %2"), QStringLiteral("%3 = 1"), QStringLiteral("%1")}) {
        session->Errors().Clear();
        EXPECT_THROW(view->Browse(filter, true), ComError);
        ASSERT_EQ(session->Errors().Count(), 1);
        const QString message = session->Errors().Message(0);
        EXPECT_TRUE(message.startsWith(QStringLiteral("The filter \"") + filter +
                                       QStringLiteral("\" of view AR0024 is not valid at "
                                                      "position ")))
            << message.toStdString();
    }
    // After a refused filter the view still browses.
    view->Browse(QStringLiteral("IDCUST = \"1200\""), true);
    ASSERT_TRUE(view->Fetch());
    EXPECT_EQ(view->Field(QStringLiteral("NAMECUST")).GetValue().toString(), "Mr. Ronald Black");
}

} // namespace
