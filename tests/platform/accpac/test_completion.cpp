// Completion of orders and shipments by the program's call sequences, and what the order
// table shows to SQL through the sample company's ODBC data source.
#include "orderentrytest.h"

#include <odbc/connection.h>
#include <odbc/recordset.h>
#include <odbctestconfig.h>

#include <system/comerror.h>

#include <map>

namespace {

// The views of one completion routine, opened and composed as the program does.
class Views
{
public:
    Views(AccpacDBLink& link, const QStringList& ids)
    {
        for (const QString& id : ids) {
            m_views.push_back(link.OpenView(id));
            m_byId[id].push_back(m_views.back().get());
        }
    }
    AccpacView& operator()(const char* id, int n = 0) { return *m_byId.at(id).at(n); }
    void compose(const char* id, std::initializer_list<std::pair<const char*, int>> with)
    {
        std::vector<AccpacView*> views;
        for (const auto& [w, n] : with)
            views.push_back(&(*this)(w, n));
        (*this)(id).Compose(views);
    }

private:
    std::vector<std::unique_ptr<AccpacView>> m_views;
    std::map<QString, std::vector<AccpacView*>> m_byId;
};

std::unique_ptr<Views> orderViews(AccpacDBLink& link, bool layout56)
{
    if (!layout56) {
        auto v = std::make_unique<Views>(link, QStringList{"OE0520", "OE0500", "OE0740", "OE0180",
                                                           "OE0680", "OE0526", "OE0522", "OE0501",
                                                           "OE0502", "OE0504", "OE0503"});
        v->compose("OE0520", {{"OE0500", 0},
                              {"OE0680", 0},
                              {"OE0180", 0},
                              {"OE0740", 0},
                              {"OE0526", 0},
                              {"OE0522", 0}});
        v->compose("OE0500", {{"OE0520", 0}, {"OE0501", 0}, {"OE0503", 0}, {"OE0502", 0}});
        v->compose("OE0740", {{"OE0520", 0}});
        v->compose("OE0180", {{"OE0520", 0}, {"OE0500", 0}});
        v->compose("OE0680", {{"OE0520", 0}, {"OE0500", 0}});
        v->compose("OE0526", {{"OE0520", 0}});
        v->compose("OE0522", {{"OE0520", 0}});
        v->compose("OE0501", {{"OE0500", 0}});
        v->compose("OE0502", {{"OE0500", 0}, {"OE0504", 0}});
        v->compose("OE0504", {{"OE0502", 0}});
        v->compose("OE0503", {{"OE0500", 0}});
        return v;
    }
    auto v = std::make_unique<Views>(
        link, QStringList{"OE0520", "OE0500", "OE0740", "OE0180", "OE0999", "OE0526", "OE0522",
                          "OE0501", "OE0502", "OE0504", "OE0504", "OE0503", "OE0508", "OE0507"});
    v->compose(
        "OE0520",
        {{"OE0500", 0}, {"OE0999", 0}, {"OE0180", 0}, {"OE0740", 0}, {"OE0526", 0}, {"OE0522", 0}});
    v->compose(
        "OE0500",
        {{"OE0520", 0}, {"OE0501", 0}, {"OE0503", 0}, {"OE0502", 0}, {"OE0508", 0}, {"OE0507", 0}});
    v->compose("OE0740", {{"OE0520", 0}});
    v->compose("OE0180", {{"OE0520", 0}, {"OE0500", 0}});
    v->compose("OE0526", {{"OE0520", 0}});
    v->compose("OE0522", {{"OE0520", 0}});
    v->compose("OE0501", {{"OE0500", 0}});
    v->compose("OE0503", {{"OE0500", 0}});
    v->compose("OE0502", {{"OE0500", 0}, {"OE0504", 0}, {"OE0504", 1}});
    v->compose("OE0504", {{"OE0502", 0}});
    v->compose("OE0507", {{"OE0500", 0}});
    return v;
}

void setInt(AccpacView& view, const char* field, int value)
{
    view.Field(field).SetValue(value);
}

int getInt(AccpacView& view, const char* field)
{
    return view.Field(field).GetValue().toInt();
}

// Clear back orders (clear = true) or complete the order, as the program does it.
void completeOrder(AccpacDBLink& link, const QString& orderNumber, bool layout56, bool clear)
{
    auto v = orderViews(link, layout56);
    AccpacView& header = (*v)("OE0520");
    AccpacView& lines = (*v)("OE0500");
    header.ClearRecord();
    header.InitRecord(0);
    header.SetOrder(1);
    header.Field("ORDNUMBER").SetValue(orderNumber.trimmed());
    header.PrepareRead(10);
    if (header.Read() && getInt(header, "COMPLETE") < 3) {
        lines.ClearRecord();
        lines.InitRecord(0);
        const QString uniq = header.Field("ORDUNIQ").GetValue().toString();
        lines.Browse("ORDUNIQ = " + uniq + (clear ? " AND QTYBACKORD > 0" : " AND COMPLETE = 0"),
                     true);
        lines.PrepareRead(10);
        bool changed = false;
        bool more = false;
        do {
            lines.MoveFirst();
            if (clear && lines.Field("QTYBACKORD").GetValue().toDouble() > 0) {
                setInt(lines, "QTYORDERED", 0);
                setInt(lines, "QTYBACKORD", 0);
                lines.Update();
                lines.Process();
                changed = true;
            } else if (!clear && getInt(lines, "COMPLETE") == 0) {
                setInt(lines, "COMPLETE", 2);
                lines.Update();
                lines.Process();
            }
            more = lines.MoveNext();
        } while (more);
        if (!clear) {
            const int complete = getInt(header, "COMPLETE");
            if (complete == 1 || complete == 2)
                setInt(header, "COMPLETE", complete + 2);
        }
        if (!clear || changed) {
            header.Update();
            header.Post();
        }
    }
    lines.Close();
    header.Close();
}

void completeShipment(AccpacDBLink& link, const QString& shipmentNumber)
{
    Views v(link, {"OE0692", "OE0691", "OE0682", "OE0190", "OE0745", "OE0694", "OE0704", "OE0697",
                   "OE0702", "OE0705", "OE0703", "OE0698", "OE0699", "OE0706"});
    v.compose(
        "OE0692",
        {{"OE0691", 0}, {"OE0682", 0}, {"OE0190", 0}, {"OE0745", 0}, {"OE0694", 0}, {"OE0704", 0}});
    v.compose("OE0691",
              {{"OE0692", 0}, {"OE0697", 0}, {"OE0702", 0}, {"OE0705", 0}, {"OE0703", 0}});
    v.compose("OE0682", {{"OE0692", 0}, {"OE0691", 0}});
    v.compose("OE0190", {{"OE0692", 0}, {"OE0691", 0}});
    v.compose("OE0745", {{"OE0692", 0}});
    v.compose("OE0694", {{"OE0692", 0}});
    v.compose("OE0704", {{"OE0692", 0}});
    v.compose("OE0697", {{"OE0698", 0}, {"OE0699", 0}});
    v.compose("OE0698", {{"OE0697", 0}});
    v.compose("OE0699", {{"OE0697", 0}});
    v.compose("OE0702", {{"OE0691", 0}});
    v.compose("OE0705", {{"OE0691", 0}});
    v.compose("OE0703", {{"OE0691", 0}, {"OE0706", 0}, {"OE0699", 0}});
    v.compose("OE0706", {{"OE0703", 0}});
    AccpacView& header = v("OE0692");
    AccpacView& lines = v("OE0691");
    header.ClearRecord();
    header.InitRecord(0);
    header.PrepareRead(10);
    header.SetOrder(1);
    header.Field("SHINUMBER").SetValue(shipmentNumber.trimmed());
    if (header.Read() && getInt(header, "COMPLETE") < 3) {
        lines.ClearRecord();
        lines.InitRecord(0);
        lines.PrepareRead(10);
        lines.Browse("SHIUNIQ = " + header.Field("SHIUNIQ").GetValue().toString() +
                         " AND COMPLETE = 0",
                     true);
        bool more = false;
        do {
            lines.MoveFirst();
            if (getInt(lines, "COMPLETE") == 0) {
                for (const char* f : {"ORDQTYORD", "ORDQTYBKOR", "ORDQTYCOMM", "ORDQTYSTD"})
                    setInt(lines, f, 0);
                setInt(lines, "COMPLETE", 2);
                lines.Update();
                lines.Process();
            }
            more = lines.MoveNext();
        } while (more);
        setInt(lines, "FINISHORD", 1);
        lines.Update();
        lines.Process();
        const int complete = getInt(header, "COMPLETE");
        if (complete == 1 || complete == 2)
            setInt(header, "COMPLETE", complete + 2);
        header.Update();
        header.Post();
    }
    lines.Close();
    header.Close();
}

} // namespace

class Completion : public OrderEntryTest
{
};

TEST_F(Completion, OrdersAreClearedAndCompletedInBothLayouts)
{
    QStringList completed; // orders completed here without an invoice
    for (const bool layout56 : {false, true}) {
        SCOPED_TRACE(layout56 ? "5.6 layout" : "first layout");
        // Orders with back orders and several lines (ORD001001, ORD001005, ...).
        const QStringList orders =
            sql("SELECT o.ORDNUMBER FROM OEORDH o WHERE o.COMPLETE=1 AND EXISTS (SELECT 1 FROM "
                "OEORDD d WHERE d.ORDUNIQ=o.ORDUNIQ AND d.QTYBACKORD>0) AND (SELECT COUNT(*) "
                "FROM OEORDD d WHERE d.ORDUNIQ=o.ORDUNIQ)>1 ORDER BY 1");
        ASSERT_GE(orders.size(), 2);
        const QString order = orders[layout56 ? 1 : 0];
        completed << order;
        const QString uniq = one("SELECT ORDUNIQ FROM OEORDH WHERE ORDNUMBER='" + order + "'");
        const QString lines = one("SELECT COUNT(*) FROM OEORDD WHERE ORDUNIQ=" + uniq);

        completeOrder(*link, "  " + order + " ", layout56, true);
        EXPECT_EQ(one("SELECT COUNT(*) FROM OEORDD WHERE QTYBACKORD>0 AND ORDUNIQ=" + uniq), "0");
        EXPECT_EQ(one("SELECT COUNT(*) FROM OEORDD WHERE QTYORDERED=0 AND ORDUNIQ=" + uniq), "1");
        EXPECT_EQ(one("SELECT COMPLETE FROM OEORDH WHERE ORDUNIQ=" + uniq), "1");

        completeOrder(*link, order, layout56, false);
        EXPECT_EQ(one("SELECT COUNT(*) FROM OEORDD WHERE COMPLETE=2 AND ORDUNIQ=" + uniq), lines);
        EXPECT_EQ(one("SELECT COMPLETE FROM OEORDH WHERE ORDUNIQ=" + uniq), "3");
        EXPECT_EQ(session->Errors().Count(), 0);
    }

    // COMPLETE 3 or more: nothing is touched; unknown numbers: nothing happens.
    const QString order = "ORD001002";
    const QString uniq = one("SELECT ORDUNIQ FROM OEORDH WHERE ORDNUMBER='" + order + "'");
    auto header = link->OpenView("OE0520");
    header->SetOrder(1);
    header->Field("ORDNUMBER").SetValue(order);
    ASSERT_TRUE(header->Read());
    header->Field("COMPLETE").SetValue(4);
    header->Update();
    completed << order;
    completeOrder(*link, order, true, false);
    EXPECT_EQ(one("SELECT COUNT(*) FROM OEORDD WHERE COMPLETE<>0 AND ORDUNIQ=" + uniq), "0");
    EXPECT_EQ(one("SELECT COMPLETE FROM OEORDH WHERE ORDUNIQ=" + uniq), "4");
    const QString lines = "SELECT COMPLETE, QTYBACKORD FROM OEORDD ORDER BY ORDUNIQ, LINENUM";
    const QStringList before = TestStore::query(companyFile, lines);
    ASSERT_FALSE(before.isEmpty());
    completeOrder(*link, "NOSUCHORDER", false, true);
    completeOrder(*link, "NOSUCHORDER", false, false);
    completeShipment(*link, "NOSUCHSHIP");
    EXPECT_EQ(TestStore::query(companyFile, lines), before);
    EXPECT_EQ(session->Errors().Count(), 0);
    // Completed with their shipments never invoiced: the auditor names each, and nothing else.
    const QStringList found = problems();
    EXPECT_EQ(found.size(), completed.size()) << found.join(u'|').toStdString();
    for (const QString& number : std::as_const(completed))
        EXPECT_EQ(found.filter("Order " + number + " is complete").size(), 1)
            << number.toStdString();
}

TEST_F(Completion, ShipmentsAreCompletedAndCannotBeInvoicedAfterwards)
{
    const QString shipment =
        one("SELECT SHINUMBER FROM OESHIH h WHERE INVUNIQ=0 AND (SELECT COUNT(*) FROM OESHID d "
            "WHERE d.SHIUNIQ=h.SHIUNIQ)>1 ORDER BY 1");
    ASSERT_FALSE(shipment.isEmpty());
    const QString uniq = one("SELECT SHIUNIQ FROM OESHIH WHERE SHINUMBER='" + shipment + "'");
    completeShipment(*link, shipment + "  ");
    EXPECT_EQ(session->Errors().Count(), 0);
    EXPECT_EQ(one("SELECT COUNT(*) FROM OESHID WHERE (COMPLETE<>2 OR ORDQTYORD<>0 OR "
                  "ORDQTYBKOR<>0) AND SHIUNIQ=" +
                  uniq),
              "0");
    EXPECT_EQ(one("SELECT COMPLETE FROM OESHIH WHERE SHIUNIQ=" + uniq), "3");
    // A second run finds the header complete and leaves it alone.
    completeShipment(*link, shipment);
    EXPECT_EQ(one("SELECT COMPLETE FROM OESHIH WHERE SHIUNIQ=" + uniq), "3");

    Sample::InvoiceRequest request;
    request.customer = one("SELECT CUSTOMER FROM OESHIH WHERE SHIUNIQ=" + uniq);
    request.shipments = {shipment};
    EXPECT_THROW(Sample::createInvoice(*link, request), ComError);
    const auto errors = takeErrors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].second, 3);

    // Out-of-range completion codes and quantities are refused at SetValue.
    auto lines = link->OpenView("OE0691");
    EXPECT_THROW(lines->Field("COMPLETE").SetValue(3), ComError);
    EXPECT_THROW(lines->Field("ORDQTYBKOR").SetValue(-1), ComError);
    auto orders = link->OpenView("OE0520");
    EXPECT_THROW(orders->Field("COMPLETE").SetValue(5), ComError);
    EXPECT_EQ(orders->Field("COMPLETE").GetValue().toInt(), 0);
    EXPECT_EQ(takeErrors().size(), 3);
}

TEST_F(Completion, TheOrderTableShowsToOdbcWhatTheViewsWrote)
{
    OdbcTestConfig::instance();
    Sample::registerDataSource(companyFile);
    const QString order = "ORD001003";
    auto header = link->OpenView("OE0520");
    header->SetOrder(1);
    header->Field("ORDNUMBER").SetValue(order);
    ASSERT_TRUE(header->Read());
    header->Field("COMPLETE").SetValue(2);
    header->Update();

    Connection connection;
    connection.setConnectionString("DSN=" + Sample::CompanyId + TestStore::odbcLogin());
    connection.Open();
    auto read = [&] {
        Recordset rs;
        rs.Open("SELECT ORDNUMBER,CUSTOMER,COMPLETE,ONHOLD,LASTINVNUM FROM OEORDH WHERE "
                "ORDNUMBER = '" +
                    order + "'",
                connection, adOpenForwardOnly, adLockReadOnly, adCmdText);
        QStringList row;
        for (int i = 0; i < 5; ++i)
            row << rs.Fields(i).Value.toString().trimmed();
        rs.Close();
        return row;
    };
    auto viewRow = [&] {
        header->Read();
        QStringList row;
        for (const char* f : {"ORDNUMBER", "CUSTOMER", "COMPLETE", "ONHOLD", "LASTINVNUM"})
            row << header->Field(f).GetValue().toString().trimmed();
        return row;
    };
    EXPECT_EQ(read(), viewRow());
    EXPECT_EQ(read().at(2), "2");

    // An invoice of the order's shipment sets LASTINVNUM, which the grid query tests.
    Sample::InvoiceRequest request;
    request.customer = header->Field("CUSTOMER").GetValue().toString();
    request.shipments = sql("SELECT SHINUMBER FROM OESHIH WHERE ORDNUMBER='" + order + "'");
    ASSERT_FALSE(request.shipments.isEmpty());
    const auto result = Sample::createInvoice(*link, request);
    EXPECT_EQ(read(), viewRow());
    EXPECT_EQ(read().at(4), result.invoiceNumber);
    connection.Close();
}

TEST_F(Completion, AnUpdateFromAnOlderReadKeepsTheInvoiceMarksOfAnotherProgram)
{
    // The completion routine reads shipment and order; meanwhile another program invoices
    // the shipment; the routine's Update must not put back the unmarked copy it read.
    const QString shipment = openShipments("1100").value(0);
    ASSERT_FALSE(shipment.isEmpty());
    const QString order = one("SELECT ORDNUMBER FROM OESHIH WHERE SHINUMBER='" + shipment + "'");
    auto shipments = link->OpenView("OE0692");
    shipments->SetOrder(1);
    shipments->Field("SHINUMBER").SetValue(shipment);
    ASSERT_TRUE(shipments->Read());
    auto orders = link->OpenView("OE0520");
    orders->SetOrder(1);
    orders->Field("ORDNUMBER").SetValue(order);
    ASSERT_TRUE(orders->Read());

    auto other = site->signOn();
    ASSERT_TRUE(other);
    auto otherLink = other->OpenDBLink(1, 0);
    Sample::InvoiceRequest request;
    request.customer = "1100";
    request.shipments = {shipment};
    const QString number = Sample::createInvoice(*otherLink, request).invoiceNumber;
    ASSERT_FALSE(number.isEmpty());

    shipments->Field("COMPLETE").SetValue(3);
    shipments->Update();
    orders->Field("COMPLETE").SetValue(3);
    orders->Update();
    EXPECT_EQ(shipments->Field("INVNUMBER").GetValue().toString(), number);
    EXPECT_EQ(orders->Field("LASTINVNUM").GetValue().toString(), number);
    EXPECT_EQ(one("SELECT INVNUMBER, COMPLETE FROM OESHIH WHERE SHINUMBER='" + shipment + "'"),
              number + "|3");
    EXPECT_EQ(one("SELECT LASTINVNUM FROM OEORDH WHERE ORDNUMBER='" + order + "'"), number);
    EXPECT_EQ(problems(), QStringList());
}
