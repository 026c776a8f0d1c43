#include "sample.h"

#include "invoicesequence.h"

#include <cstdio>
#include <cstdlib>

#include <accpac/view.h>
#include <odbc/datasource.h>

#include <QDate>

#include <cmath>
#include <initializer_list>
#include <utility>

namespace Sample {

namespace {

using Values = std::initializer_list<std::pair<const char*, QVariant>>;

void insert(AccpacView& view, Values values)
{
    view.ClearRecord();
    view.InitRecord(0);
    for (const auto& [field, value] : values)
        view.Field(QString::fromLatin1(field)).SetValue(value);
    view.Insert();
}

struct Customer
{
    const char* id;
    const char* name;
    const char* currency;
    double creditLimit;
    double balance;
    int delCharge; // -1 no optional field, 0 flagged false, 1 flagged true
    const char* city;
};

// clang-format off
const Customer Customers[] = {
    {"1100", "Bargain Mart - San Diego", "USD", 25000, 12450.35, 1, "San Diego"},
    {"1105", "Bargain Mart - Seattle", "USD", 25000, 3120.00, 0, "Seattle"},
    {"1200", "Mr. Ronald Black", "USD", 1000, 800.00, 1, "Vancouver"},
    {"1210", "Lowell Industries", "USD", 50000, 0, -1, "Lowell"},
    {"1300", "Coastal Hardware", "USD", 15000, 14990.00, 1, "Portland"},
    {"1310", "Cascade Garden Supply", "USD", 8000, 2500.50, -1, "Tacoma"},
    {"1400", "Ice Ridge Outfitters", "CAD", 20000, 5400.00, 1, "Calgary"},
    {"1410", "Maple Leaf Distributors", "CAD", 40000, 39999.99, 0, "Toronto"},
    {"1420", "Harbour Marine Ltd.", "CAD", 12000, 0, -1, "Halifax"},
    {"1500", "Rheinland Werkzeuge GmbH", "EUR", 30000, 7800.00, 1, "Koeln"},
    {"1510", "Bistrot Lumiere SARL", "EUR", 5000, 4100.00, -1, "Lyon"},
    {"1600", "Thames Valley Tools plc", "GBP", 18000, 950.00, 1, "Reading"},
    {"1610", "Highland Crafts Ltd", "GBP", 3000, 0, 0, "Inverness"},
    {"1700", "Sakura Trading KK", "JPY", 2000000, 150000, -1, "Osaka"},
    {"1800", "Desert Sun Pools", "USD", 10000, 9000.00, 1, "Phoenix"},
    {"1810", "Great Plains Feed & Seed", "USD", 22000, 1000.00, -1, "Omaha"},
    {"1820", "Bayou Kitchen \"Supply\" Co.", "USD", 6000, 250.00, 1, "New Orleans"},
    {"1830", "Mountain View Builders", "USD", 75000, 30500.00, 0, "Denver"},
    {"1840", "Lakeside Office Furniture", "USD", 12500, 0, -1, "Chicago"},
    {"1850", "Sunrise Bakery Equipment", "USD", 4000, 3999.00, 1, "Miami"},
};
// clang-format on

int dateNumber(const QDate& d)
{
    return d.year() * 10000 + d.month() * 100 + d.day();
}

void addMasterData(AccpacDBLink& link, const Options& options)
{
    auto banks = link.OpenView(QStringLiteral("BK0001"));
    insert(*banks, {{"BANK", "SPRINGBK"},
                    {"NAME", "Springfield National Bank"},
                    {"BANKACCT", "100-2003-44"},
                    {"CURNSTMT", "USD"}});
    insert(*banks, {{"BANK", "TDCAD"},
                    {"NAME", "Toronto Dominion - CAD account"},
                    {"BANKACCT", "5512-0098"},
                    {"CURNSTMT", "CAD"}});
    insert(*banks, {{"BANK", "EUROBK"},
                    {"NAME", "Euro Clearing Bank"},
                    {"BANKACCT", "DE44 5001 0517"},
                    {"CURNSTMT", "EUR"}});
    insert(*banks, {{"BANK", "OLDBANK"},
                    {"NAME", "Old Mercantile Bank (closed)"},
                    {"INACTIVE", 1},
                    {"CURNSTMT", "USD"}});
    banks->Close();

    const QString codeField = options.arVersion >= QLatin1String("54A")
                                  ? QStringLiteral("PAYMCODE")
                                  : QStringLiteral("CODPAYMTYP");
    auto types = link.OpenView(QStringLiteral("AR0012"));
    const std::pair<const char*, const char*> receiptTypes[] = {{"CASH", "Cash"},
                                                                {"CHECK", "Cheque"},
                                                                {"VISA", "Visa"},
                                                                {"MC", "MasterCard"},
                                                                {"WIRE", "Wire transfer"}};
    for (const auto& [code, desc] : receiptTypes) {
        types->ClearRecord();
        types->InitRecord(0);
        types->Field(codeField).SetValue(QString::fromLatin1(code));
        types->Field(QStringLiteral("TEXTDESC")).SetValue(QString::fromUtf8(desc));
        types->Insert();
    }
    types->ClearRecord();
    types->InitRecord(0);
    types->Field(codeField).SetValue(QStringLiteral("OLDCARD"));
    types->Field(QStringLiteral("TEXTDESC")).SetValue(QStringLiteral("Store card (retired)"));
    types->Field(QStringLiteral("ACTVSW")).SetValue(0);
    types->Insert();
    types->Close();

    auto customers = link.OpenView(QStringLiteral("AR0024"));
    auto optional = link.OpenView(QStringLiteral("AR0400"));
    for (const Customer& c : Customers) {
        insert(*customers, {{"IDCUST", c.id},
                            {"NAMECUST", QString::fromUtf8(c.name)},
                            {"CODECURN", c.currency},
                            {"AMTCRLIMT", c.creditLimit},
                            {"AMTBALDUET", c.balance},
                            {"NAMECITY", c.city},
                            {"IDGRP", "RTL"},
                            {"CODETERM", "NET30"}});
        if (c.delCharge >= 0)
            insert(*optional, {{"IDCUST", c.id},
                               {"OPTFIELD", "DELCHARGE"},
                               {"TYPE", 8},
                               {"VALUE", c.delCharge ? "True" : "False"},
                               {"VALIFBOOL", c.delCharge == 1}});
    }
    customers->Close();
    optional->Close();

    // Receipt batches: open ones to add prepayments to, a posted and a deleted one that
    // take none (status 1 open, 2 deleted, 3 posted).
    struct ReceiptBatch
    {
        const char* description;
        int daysAgo;
        int status;
        const char* bank;
    };
    const ReceiptBatch receiptBatches[] = {{"Prepayments - week", 3, 1, "SPRINGBK"},
                                           {"Posted receipts", 20, 3, "SPRINGBK"},
                                           {"Counter receipts", 1, 1, "SPRINGBK"},
                                           {"Entered in error", 10, 2, "SPRINGBK"},
                                           {"Month-end receipts", 35, 3, "SPRINGBK"}};
    auto batches = link.OpenView(QStringLiteral("AR0041"));
    const QDate today = QDate::currentDate();
    int number = 0;
    for (const ReceiptBatch& batch : receiptBatches) {
        const int date = dateNumber(today.addDays(-batch.daysAgo));
        insert(*batches, {{"CODEPYMTYP", "CA"},
                          {"CNTBTCH", ++number},
                          {"BATCHDESC", batch.description},
                          {"DATEBTCH", date},
                          {"BATCHSTAT", batch.status},
                          {"IDBANK", batch.bank},
                          {"CODECURN", "USD"},
                          {"RATETYPE", "SP"},
                          {"RATEEXCHHC", 1.0},
                          {"DATERATE", date}});
    }
    batches->Close();
}

// Writes orders with their lines and shipments with theirs; each shipment's lines add up
// to its amount, and the order lines carry what was shipped (and some back orders).
class OrderBook
{
public:
    struct Order
    {
        QString number;
        Customer customer{};
        bool onHold = false;
        const char* shipVia = "";
        const char* location = "100";
        QDate date;
        bool backOrdered = false;
        QList<std::pair<QString, double>> shipments; // number, amount
    };

    OrderBook(AccpacDBLink& link, const Options& options)
        : m_orders(link.OpenView(QStringLiteral("OE0520"))),
          m_orderLines(link.OpenView(QStringLiteral("OE0500"))),
          m_shipments(link.OpenView(QStringLiteral("OE0692"))),
          m_shipmentLines(link.OpenView(QStringLiteral("OE0691"))),
          m_linesPerShipment(options.linesPerShipment)
    {
    }

    void add(const Order& o)
    {
        double total = 0;
        for (const auto& s : o.shipments)
            total += s.second;
        insert(*m_orders, {{"ORDNUMBER", o.number},
                           {"CUSTOMER", o.customer.id},
                           {"BILNAME", QString::fromUtf8(o.customer.name)},
                           {"TYPE", 1},
                           {"ONHOLD", o.onHold ? 1 : 0},
                           {"COMPLETE", 1},
                           {"SHIPVIA", o.shipVia},
                           {"LOCATION", o.location},
                           {"ORDDATE", dateNumber(o.date)},
                           {"ORDTOTAL", total}});
        const int orderUniq = m_orders->Field(QStringLiteral("ORDUNIQ")).GetValue().toInt();
        int orderLine = 0;
        for (const auto& [number, amount] : o.shipments) {
            insert(*m_shipments, {{"SHINUMBER", number},
                                  {"ORDUNIQ", orderUniq},
                                  {"ORDNUMBER", o.number},
                                  {"CUSTOMER", o.customer.id},
                                  {"SHIDATE", dateNumber(o.date)},
                                  {"COMPLETE", 1},
                                  {"LOCATION", o.location},
                                  {"SHINETWTX", amount}});
            const int shiUniq = m_shipments->Field(QStringLiteral("SHIUNIQ")).GetValue().toInt();
            const int lines = m_linesPerShipment > 0 ? m_linesPerShipment : 1 + (++m_seed % 3);
            double left = amount;
            for (int l = 0; l < lines; ++l) {
                const double ext = l + 1 == lines ? left : std::round(amount / lines * 100) / 100;
                left = std::round((left - ext) * 100) / 100;
                const int qty = 1 + (m_seed + l) % 4;
                const QString item = QStringLiteral("A1-%1").arg(100 + (m_seed * 7 + l) % 60);
                const bool backOrder = o.backOrdered && l == 0;
                ++orderLine;
                insert(*m_orderLines, {{"ORDUNIQ", orderUniq},
                                       {"LINETYPE", 1},
                                       {"ITEM", item},
                                       {"DESC", QStringLiteral("Item %1").arg(item)},
                                       {"LOCATION", o.location},
                                       {"QTYORDERED", qty + (backOrder ? 2 : 0)},
                                       {"QTYSHIPPED", qty},
                                       {"QTYBACKORD", backOrder ? 2 : 0},
                                       {"UNITPRICE", ext / qty},
                                       {"EXTINVMISC", ext}});
                insert(*m_shipmentLines, {{"SHIUNIQ", shiUniq},
                                          {"ORDUNIQ", orderUniq},
                                          {"ORDLINENUM", orderLine},
                                          {"ITEM", item},
                                          {"DESC", QStringLiteral("Item %1").arg(item)},
                                          {"QTYSHIPPED", qty},
                                          {"UNITPRICE", ext / qty},
                                          {"EXTSHIMISC", ext},
                                          {"ORDQTYORD", qty + (backOrder ? 2 : 0)},
                                          {"ORDQTYBKOR", backOrder ? 2 : 0}});
            }
        }
    }

private:
    std::unique_ptr<AccpacView> m_orders;
    std::unique_ptr<AccpacView> m_orderLines;
    std::unique_ptr<AccpacView> m_shipments;
    std::unique_ptr<AccpacView> m_shipmentLines;
    int m_linesPerShipment;
    int m_seed = 0;
};

void addOrderEntryData(AccpacDBLink& link, const Options& options)
{
    auto misc = link.OpenView(QStringLiteral("OE0440"));
    insert(*misc, {{"MISCCHARGE", "DEL"},
                   {"DESC", "Delivery charge"},
                   {"AMOUNT", 10.0},
                   {"CURRENCY", "USD"}});
    insert(*misc,
           {{"MISCCHARGE", "FRT"}, {"DESC", "Freight"}, {"AMOUNT", 25.0}, {"CURRENCY", "USD"}});
    insert(*misc,
           {{"MISCCHARGE", "HANDL"}, {"DESC", "Handling"}, {"AMOUNT", 5.0}, {"CURRENCY", "USD"}});
    insert(*misc, {{"MISCCHARGE", "RSTK"},
                   {"DESC", "Restocking fee"},
                   {"AMOUNT", 15.0},
                   {"CURRENCY", "USD"}});
    misc->Close();

    // The order book: every order of a customer in turn, with none, one or two shipments.
    OrderBook book(link, options);
    const QDate today = QDate::currentDate();
    const int customers = int(std::size(Customers));
    const char* shipVia[] = {"1", "3", "9", ""};
    const char* locations[] = {"100", "101", "200"};
    struct ToInvoice
    {
        QString customer;
        QString order;
        QString shipment;
    };
    QList<ToInvoice> toInvoice;
    for (int n = 0; n < options.orders; ++n) {
        const Customer& c = Customers[n % customers];
        OrderBook::Order order;
        order.number = QStringLiteral("ORD%1").arg(1000 + n, 6, 10, QLatin1Char('0'));
        order.customer = c;
        order.onHold = n % 29 == 7;
        order.shipVia = shipVia[n % 4];
        order.location = locations[n % 3];
        order.date = today.addDays(-(n % 30));
        order.backOrdered = n % 4 == 1;
        const int count = n % 5 == 4 ? 0 : (n % 3 == 0 ? 2 : 1);
        for (int s = 0; s < count; ++s)
            order.shipments.append({QStringLiteral("SH%1-%2").arg(1000 + n).arg(s + 1),
                                    n % 11 == 3 ? 0.0 : 50.0 + (n * 37 % 900) + s * 12.5});
        book.add(order);
        // Some orders have been invoiced already.
        if (count > 0 && n % 13 == 6 && !order.onHold && c.balance > 0)
            toInvoice.append(
                {QString::fromLatin1(c.id), order.number, order.shipments.first().first});
    }
    if (options.orders > 0) {
        // Revisions of one order: two of one customer, one of another.
        const Customer& black = Customers[2];
        const Customer& coastal = Customers[4];
        for (int r = 1; r <= 3; ++r) {
            OrderBook::Order order;
            order.number = QStringLiteral("1000-%1").arg(r);
            order.customer = r < 3 ? black : coastal;
            order.shipVia = "";
            order.location = "100";
            order.date = today.addDays(-r);
            order.shipments.append({QStringLiteral("SHR1000-%1").arg(r), 40.0 * r});
            book.add(order);
        }
        // A shipment that is still being entered.
        OrderBook::Order fresh;
        fresh.number = QStringLiteral("ORD-NEW1");
        fresh.customer = Customers[0];
        fresh.shipVia = "";
        fresh.location = "101";
        fresh.date = today;
        fresh.shipments.append({QStringLiteral("*** NEW ***"), 0.0});
        book.add(fresh);
    }
    for (const ToInvoice& invoice : toInvoice) {
        InvoiceRequest request;
        request.customer = invoice.customer;
        request.shipments = {invoice.shipment};
        request.layout56 = options.oeVersion >= QLatin1String("56A");
        createInvoice(link, request);
        completeInvoicedOrder(link, invoice.order);
    }
}

void addSecurity(const Options& options)
{
    using namespace Accpac::Admin;
    const QString& folder = options.folder;
    addUser(folder, QStringLiteral("ADMIN"), QStringLiteral("System Administrator"), AdminPassword,
            options.strength);
    addUser(folder, SupervisorId, QStringLiteral("Susan Porter (Supervisor)"), SupervisorPassword,
            options.strength);
    addUser(folder, ClerkId, QStringLiteral("Carl Jensen (Billing clerk)"), ClerkPassword,
            options.strength);
    addUser(folder, QStringLiteral("TEMP"), QStringLiteral("Temporary help"),
            QStringLiteral("TEMP"), options.strength);
    setUserFlags(folder, QStringLiteral("TEMP"), true, false);

    // The site has the standard profiles (OECLERK, OESUPER, ARCLERK) from its making.
    addAuthorisation(folder, SupervisorId, CompanyId, QStringLiteral("OE"),
                     QStringLiteral("OECLERK"));
    addAuthorisation(folder, SupervisorId, CompanyId, QStringLiteral("OE"),
                     QStringLiteral("OESUPER"));
    addAuthorisation(folder, ClerkId, CompanyId, QStringLiteral("OE"), QStringLiteral("OECLERK"));
    addAuthorisation(folder, ClerkId, CompanyId, QStringLiteral("AR"), QStringLiteral("ARCLERK"));
    addAuthorisation(folder, QStringLiteral("TEMP"), CompanyId, QStringLiteral("OE"),
                     QStringLiteral("OECLERK"));
}

} // namespace

std::unique_ptr<AccpacSession> signOn(const QString& folder, const QString& userId,
                                      const QString& password)
{
    auto session = Accpac::createSession();
    session->Init(QString(), QStringLiteral("AS"), QStringLiteral("AS0001"), QStringLiteral("53A"));
    if (!Accpac::Testing::signOn(*session, folder, CompanyId, userId, password))
        return nullptr;
    return session;
}

std::unique_ptr<AccpacSession> benchmarkSite(const QString& folder, int orders)
{
    Options options;
    options.folder = folder;
    options.orders = orders;
    options.strength = Accpac::Admin::HashStrength::Minimal;
    std::unique_ptr<AccpacSession> session;
    try {
        createSampleSite(options);
        session = signOn(options.folder);
    } catch (const ComError& e) {
        std::fprintf(stderr, "the benchmark's site could not be made: %s\n", e.what());
    }
    if (!session) {
        std::fprintf(stderr, "sign-on to the benchmark's site failed\n");
        std::abort();
    }
    return session;
}

QStringList addShippedOrder(AccpacDBLink& link, const QString& order, const QString& customer,
                            int count, int linesEach)
{
    auto orders = link.OpenView(QStringLiteral("OE0520"));
    auto shipments = link.OpenView(QStringLiteral("OE0692"));
    auto lines = link.OpenView(QStringLiteral("OE0691"));
    orders->ClearRecord();
    orders->InitRecord(0);
    orders->Field(QStringLiteral("ORDNUMBER")).SetValue(order);
    orders->Field(QStringLiteral("CUSTOMER")).SetValue(customer);
    orders->Field(QStringLiteral("TYPE")).SetValue(1);
    orders->Field(QStringLiteral("COMPLETE")).SetValue(1);
    orders->Insert();
    const QVariant orderUniq = orders->Field(QStringLiteral("ORDUNIQ")).GetValue();
    QStringList numbers;
    for (int s = 0; s < count; ++s) {
        numbers << QStringLiteral("%1-%2").arg(order).arg(s + 1);
        shipments->ClearRecord();
        shipments->InitRecord(0);
        shipments->Field(QStringLiteral("SHINUMBER")).SetValue(numbers.last());
        shipments->Field(QStringLiteral("ORDUNIQ")).SetValue(orderUniq);
        shipments->Field(QStringLiteral("ORDNUMBER")).SetValue(order);
        shipments->Field(QStringLiteral("CUSTOMER")).SetValue(customer);
        shipments->Field(QStringLiteral("COMPLETE")).SetValue(1);
        shipments->Field(QStringLiteral("SHINETWTX")).SetValue(10.0 * linesEach);
        shipments->Insert();
        const QVariant shiUniq = shipments->Field(QStringLiteral("SHIUNIQ")).GetValue();
        for (int l = 0; l < linesEach; ++l) {
            lines->ClearRecord();
            lines->InitRecord(0);
            lines->Field(QStringLiteral("SHIUNIQ")).SetValue(shiUniq);
            lines->Field(QStringLiteral("ORDUNIQ")).SetValue(orderUniq);
            lines->Field(QStringLiteral("ITEM")).SetValue(QStringLiteral("A1-10%1").arg(l));
            lines->Field(QStringLiteral("DESC")).SetValue(QStringLiteral("Item %1").arg(l + 1));
            lines->Field(QStringLiteral("QTYSHIPPED")).SetValue(2);
            lines->Field(QStringLiteral("UNITPRICE")).SetValue(5.0);
            lines->Field(QStringLiteral("EXTSHIMISC")).SetValue(10.0);
            lines->Insert();
        }
    }
    for (AccpacView* view : {orders.get(), shipments.get(), lines.get()})
        view->Close();
    return numbers;
}

void registerDataSource(const QString& companyFile)
{
    if (Accpac::isServerSite(companyFile)) {
        auto attributes = Accpac::serverOdbcAttributes(companyFile);
        attributes.prepend(
            {QStringLiteral("Description"), QStringLiteral("Tallymerge sample company")});
        OdbcDataSource::registerDataSource(CompanyId, ServerOdbcDriver, attributes,
                                           OdbcDataSource::Scope::System);
        return;
    }
    if (!OdbcDataSource::driverInstalled(OdbcDriver))
        OdbcDataSource::installDriver(OdbcDriver, OdbcDriverLibrary);
    OdbcDataSource::registerDataSource(
        CompanyId, OdbcDriver,
        {{QStringLiteral("Description"), QStringLiteral("Tallymerge sample company")},
         {QStringLiteral("Database"), companyFile},
         {QStringLiteral("Timeout"), QStringLiteral("10000")}},
        OdbcDataSource::Scope::System);
}

void createSampleSite(const Options& options)
{
    using namespace Accpac::Admin;
    createSite(options.folder);
    CompanySetup company{
        CompanyId,
        QStringLiteral("Sample Company Inc."),
        QStringLiteral("USD"),
        {{QStringLiteral("AS"), QStringLiteral("56A")}, {QStringLiteral("AR"), options.arVersion}}};
    if (options.withOrderEntry)
        company.applications.append({QStringLiteral("OE"), options.oeVersion});
    createCompany(options.folder, company);
    const CurrencySetup currencies[] = {
        {"USD", "US Dollar", "$", 2, 2, 3, ',', '.'},
        {"CAD", "Canadian Dollar", "C$", 2, 1, 2, ',', '.'},
        {"EUR", "Euro", QString::fromUtf8("\u20ac"), 2, 3, 2, '.', ','},
        {"GBP", "Pound Sterling", QString::fromUtf8("\u00a3"), 2, 2, 2, ',', '.'},
        {"JPY", "Japanese Yen", QString::fromUtf8("\u00a5"), 0, 2, 2, ',', '.'},
    };
    for (const CurrencySetup& c : currencies)
        addCurrency(options.folder, CompanyId, c);
    addSecurity(options);

    auto session = Accpac::createSession();
    session->Init(QString(), QStringLiteral("AS"), QStringLiteral("AS0001"), QStringLiteral("53A"));
    const QString previousSite = Accpac::siteFolder();
    const bool signedOn = Accpac::Testing::signOn(*session, options.folder, CompanyId,
                                                  QStringLiteral("ADMIN"), AdminPassword);
    Accpac::setSiteFolder(previousSite);
    if (!signedOn)
        throw ComError(ComErrorNumber::E_Fail, session->Errors().Message(0));
    auto link = session->OpenDBLink(1, 0);
    setBulkLoading(*session, true);
    addMasterData(*link, options);
    if (options.withOrderEntry)
        addOrderEntryData(*link, options);
    setBulkLoading(*session, false);
    link->Close();
    session->Close();
}

void completeInvoicedOrder(AccpacDBLink& link, const QString& orderNumber)
{
    auto header = link.OpenView(QStringLiteral("OE0520"));
    auto lines = link.OpenView(QStringLiteral("OE0500"));
    header->SetOrder(1);
    header->Field(QStringLiteral("ORDNUMBER")).SetValue(orderNumber);
    if (!header->Read())
        return;
    const int complete = header->Field(QStringLiteral("COMPLETE")).GetValue().toInt();
    lines->Browse(QStringLiteral("ORDUNIQ = ") +
                      header->Field(QStringLiteral("ORDUNIQ")).GetValue().toString(),
                  true);
    while (lines->Fetch()) {
        if (lines->Field(QStringLiteral("QTYBACKORD")).GetValue().toDouble() > 0) {
            lines->Field(QStringLiteral("QTYORDERED")).SetValue(0);
            lines->Field(QStringLiteral("QTYBACKORD")).SetValue(0);
        }
        if (lines->Field(QStringLiteral("COMPLETE")).GetValue().toInt() == 0)
            lines->Field(QStringLiteral("COMPLETE")).SetValue(2);
        lines->Update();
    }
    if (complete == 1 || complete == 2) {
        header->Field(QStringLiteral("COMPLETE")).SetValue(complete + 2);
        header->Update();
    }
}

} // namespace Sample
