// The view engine against a real company file: keyed reads, the scan loop, writes,
// conversions, compositions, errors and two sessions on one file.
#include "sitetest.h"

#include <system/comerror.h>

#include <gtest/gtest.h>

#include <QDate>
#include <QProcess>

#include <atomic>
#include <limits>
#include <map>
#include <thread>

namespace {

class AccpacEngine : public SiteTest
{
protected:
    // Runs f, expects it to throw, and returns the Errors entry it left.
    template <class F> std::pair<QString, int> failure(F&& f)
    {
        session->Errors().Clear();
        try {
            f();
        } catch (const ComError& e) {
            EXPECT_EQ(session->Errors().Count(), 1);
            if (session->Errors().Count() == 0)
                return {};
            auto entry = session->Errors().Get(0);
            EXPECT_EQ(entry.first, e.description());
            session->Errors().Clear();
            return entry;
        }
        ADD_FAILURE() << "no error thrown";
        return {};
    }
};

TEST_F(AccpacEngine, KeyedReadsUnderEachKeyOrder)
{
    auto customers = link->OpenView(QStringLiteral("AR0024"));
    customers->Field(QStringLiteral("IDCUST")).SetValue(QStringLiteral("1400"));
    ASSERT_TRUE(customers->Read());
    EXPECT_EQ(customers->Field(QStringLiteral("NAMECUST")).GetValue().toString(),
              QStringLiteral("Ice Ridge Outfitters"));
    EXPECT_EQ(customers->Field(QStringLiteral("CODECURN")).GetValue().toString(), "CAD");
    EXPECT_DOUBLE_EQ(customers->Field(QStringLiteral("AMTCRLIMT")).GetValue().toDouble(), 20000);
    customers->Field(QStringLiteral("IDCUST")).SetValue(QStringLiteral("9999"));
    EXPECT_FALSE(customers->Read());

    // Key 1: by name.
    customers->SetOrder(1);
    customers->ClearRecord();
    customers->Field(QStringLiteral("NAMECUST")).SetValue(QStringLiteral("Lowell Industries"));
    ASSERT_TRUE(customers->Read());
    EXPECT_EQ(customers->Field(QStringLiteral("IDCUST")).GetValue().toString(), "1210");

    // Shipments: key 1 by number, key 2 by order (the first shipment of the order).
    auto shipments = link->OpenView(QStringLiteral("OE0692"));
    shipments->SetOrder(1);
    shipments->Field(QStringLiteral("SHINUMBER")).SetValue(QStringLiteral("SH1003-2"));
    ASSERT_TRUE(shipments->Read());
    EXPECT_EQ(shipments->Field(QStringLiteral("ORDNUMBER")).GetValue().toString(), "ORD001003");
    shipments->SetOrder(2);
    shipments->ClearRecord();
    shipments->Field(QStringLiteral("ORDNUMBER")).SetValue(QStringLiteral("ORD001003"));
    ASSERT_TRUE(shipments->Read());
    EXPECT_EQ(shipments->Field(QStringLiteral("SHINUMBER")).GetValue().toString(), "SH1003-1");

    // Receipt batches under key 1 include the status: batch 2 is posted, not open.
    auto batches = link->OpenView(QStringLiteral("AR0041"));
    batches->SetOrder(1);
    batches->Field(QStringLiteral("CODEPYMTYP")).SetValue(QStringLiteral("CA"));
    batches->Field(QStringLiteral("BATCHSTAT")).SetValue(1);
    batches->Field(QStringLiteral("CNTBTCH")).SetValue(1);
    ASSERT_TRUE(batches->Read());
    EXPECT_EQ(batches->Field(QStringLiteral("IDBANK")).GetValue().toString(), "SPRINGBK");
    EXPECT_EQ(batches->Field(QStringLiteral("DATEBTCH")).GetValue().typeId(), QMetaType::QDate);
    batches->Field(QStringLiteral("BATCHSTAT")).SetValue(1);
    batches->Field(QStringLiteral("CNTBTCH")).SetValue(2);
    EXPECT_FALSE(batches->Read());

    EXPECT_EQ(failure([&] { customers->SetOrder(2); }).second, 3);
}

// A view keeps its keyed read's statement and decodes texts into the strings it holds: the
// reads must still see what another session wrote meanwhile, give each caller's copy of a
// value its own text, and keep two views of one table on different keys apart.
TEST_F(AccpacEngine, RepeatedKeyedReadsSeeChangesAndKeepCallersValues)
{
    auto byNumber = link->OpenView(QStringLiteral("AR0024"));
    auto byName = link->OpenView(QStringLiteral("AR0024"));
    byName->SetOrder(1);
    auto& number = byNumber->Field(QStringLiteral("IDCUST"));
    auto& name = byNumber->Field(QStringLiteral("NAMECUST"));
    number.SetValue(QStringLiteral("1400"));
    ASSERT_TRUE(byNumber->Read());
    const QVariant heldName = name.GetValue();
    EXPECT_EQ(heldName.toString(), QStringLiteral("Ice Ridge Outfitters"));

    // A shorter and a longer text into the same field, read after read.
    number.SetValue(QStringLiteral("1210"));
    ASSERT_TRUE(byNumber->Read());
    EXPECT_EQ(name.GetValue().toString(), QStringLiteral("Lowell Industries"));
    number.SetValue(QStringLiteral("1400"));
    ASSERT_TRUE(byNumber->Read());
    EXPECT_EQ(name.GetValue().toString(), QStringLiteral("Ice Ridge Outfitters"));
    number.SetValue(QStringLiteral("1210"));
    ASSERT_TRUE(byNumber->Read());
    EXPECT_EQ(heldName.toString(), QStringLiteral("Ice Ridge Outfitters"));

    // The other key's view, between the reads of the first.
    byName->Field(QStringLiteral("NAMECUST")).SetValue(QStringLiteral("Ice Ridge Outfitters"));
    ASSERT_TRUE(byName->Read());
    EXPECT_EQ(byName->Field(QStringLiteral("IDCUST")).GetValue().toString(), "1400");
    EXPECT_EQ(name.GetValue().toString(), QStringLiteral("Lowell Industries"));

    // Another session renames the customer: the next read of each view sees it.
    auto writer = site->signOn();
    ASSERT_TRUE(writer);
    auto writerLink = writer->OpenDBLink(1, 0);
    auto rename = writerLink->OpenView(QStringLiteral("AR0024"));
    const auto renameTo = [&](const QString& newName) {
        rename->Field(QStringLiteral("IDCUST")).SetValue(QStringLiteral("1400"));
        ASSERT_TRUE(rename->Read());
        rename->Field(QStringLiteral("NAMECUST")).SetValue(newName);
        rename->Update();
    };
    renameTo(QStringLiteral("Ice Ridge"));
    number.SetValue(QStringLiteral("1400"));
    ASSERT_TRUE(byNumber->Read());
    EXPECT_EQ(name.GetValue().toString(), QStringLiteral("Ice Ridge"));
    byName->Field(QStringLiteral("NAMECUST")).SetValue(QStringLiteral("Ice Ridge Outfitters"));
    EXPECT_FALSE(byName->Read());
    renameTo(QStringLiteral("Ice Ridge Outfitters"));
    ASSERT_TRUE(byName->Read());
    EXPECT_EQ(byName->Field(QStringLiteral("IDCUST")).GetValue().toString(), "1400");
    ASSERT_TRUE(byNumber->Read());
    EXPECT_EQ(name.GetValue().toString(), QStringLiteral("Ice Ridge Outfitters"));
}

TEST_F(AccpacEngine, StatusFieldsSetBeforeAReadNarrowIt)
{
    auto banks = link->OpenView(QStringLiteral("BK0001"));
    banks->SetOrder(0);
    banks->Field(QStringLiteral("BANK")).SetValue(QStringLiteral("OLDBANK"));
    EXPECT_TRUE(banks->Read()); // the description look-up finds an inactive bank
    banks->ClearRecord();
    banks->Field(QStringLiteral("BANK")).SetValue(QStringLiteral("OLDBANK"));
    banks->Field(QStringLiteral("INACTIVE")).SetValue(0);
    EXPECT_FALSE(banks->Read()); // the validation does not
    banks->ClearRecord();
    banks->Field(QStringLiteral("BANK")).SetValue(QStringLiteral("SPRINGBK"));
    banks->Field(QStringLiteral("INACTIVE")).SetValue(0);
    EXPECT_TRUE(banks->Read());

    auto types = link->OpenView(QStringLiteral("AR0012"));
    types->Field(QStringLiteral("PAYMCODE")).SetValue(QStringLiteral("OLDCARD"));
    types->Field(QStringLiteral("ACTVSW")).SetValue(1);
    EXPECT_FALSE(types->Read());
    types->ClearRecord();
    types->Field(QStringLiteral("PAYMCODE")).SetValue(QStringLiteral("CHECK"));
    types->Field(QStringLiteral("ACTVSW")).SetValue(1);
    ASSERT_TRUE(types->Read());
    EXPECT_EQ(types->Field(QStringLiteral("TEXTDESC")).GetValue().toString(), "Cheque");

    auto options = link->OpenView(QStringLiteral("AR0400"));
    options->Field(QStringLiteral("IDCUST")).SetValue(QStringLiteral("1200"));
    options->Field(QStringLiteral("OPTFIELD")).SetValue(QStringLiteral("DELCHARGE"));
    ASSERT_TRUE(options->Read());
    EXPECT_EQ(options->Field(QStringLiteral("VALIFBOOL")).GetValue(), QVariant(true));
    options->Field(QStringLiteral("IDCUST")).SetValue(QStringLiteral("1105"));
    options->Field(QStringLiteral("OPTFIELD")).SetValue(QStringLiteral("DELCHARGE"));
    ASSERT_TRUE(options->Read());
    EXPECT_EQ(options->Field(QStringLiteral("VALIFBOOL")).GetValue(), QVariant(false));
}

// The scan loop of the completion routines: MoveFirst, handle, MoveNext, until MoveNext
// finds nothing; every matching record is handled exactly once.
TEST_F(AccpacEngine, ScanLoopMeetsEveryMatchingRecordOnce)
{
    auto shipments = link->OpenView(QStringLiteral("OE0692"));
    const QString filter = QStringLiteral("CUSTOMER = \"1100\" AND COMPLETE = 1");
    shipments->Browse(filter, true);
    int matching = 0;
    while (shipments->Fetch())
        ++matching;
    ASSERT_GT(matching, 1);

    shipments->Browse(filter, true);
    QStringList handled;
    bool more = false;
    do {
        shipments->MoveFirst();
        if (shipments->Field(QStringLiteral("COMPLETE")).GetValue().toInt() == 1) {
            handled << shipments->Field(QStringLiteral("SHINUMBER")).GetValue().toString();
            shipments->Field(QStringLiteral("COMPLETE")).SetValue(3);
            shipments->Update();
        }
        more = shipments->MoveNext();
    } while (more);
    EXPECT_EQ(handled.size(), matching);
    EXPECT_EQ(QSet<QString>(handled.begin(), handled.end()).size(), matching);

    shipments->Browse(filter, true);
    EXPECT_FALSE(shipments->MoveFirst());
    shipments->Browse(QStringLiteral("CUSTOMER = \"1100\" AND COMPLETE = 3"), false);
    int back = 0;
    int previous = std::numeric_limits<int>::max();
    while (shipments->Fetch()) {
        const int uniq = shipments->Field(QStringLiteral("SHIUNIQ")).GetValue().toInt();
        EXPECT_LT(uniq, previous); // descending
        previous = uniq;
        ++back;
        shipments->Field(QStringLiteral("COMPLETE")).SetValue(1); // restore for other cases
        shipments->Update();
    }
    EXPECT_EQ(back, matching);
}

TEST_F(AccpacEngine, InsertUpdateAndNumbering)
{
    auto batches = link->OpenView(QStringLiteral("AR0041"));
    batches->Field(QStringLiteral("CODEPYMTYP")).SetValue(QStringLiteral("CA"));
    batches->Field(QStringLiteral("CNTBTCH")).SetValue(0);
    batches->NewRecord();
    const int number = batches->Field(QStringLiteral("CNTBTCH")).GetValue().toInt();
    EXPECT_GE(number, 3);
    batches->Field(QStringLiteral("BATCHDESC")).SetValue(QStringLiteral("New batch"));
    batches->Field(QStringLiteral("DATEBTCH")).SetValue(QDate(2026, 3, 4));
    batches->Update();
    batches->NewRecord();
    EXPECT_EQ(batches->Field(QStringLiteral("CNTBTCH")).GetValue().toInt(), number + 1);

    auto check = link->OpenView(QStringLiteral("AR0041"));
    check->Field(QStringLiteral("CODEPYMTYP")).SetValue(QStringLiteral("CA"));
    check->Field(QStringLiteral("CNTBTCH")).SetValue(number);
    ASSERT_TRUE(check->Read());
    EXPECT_EQ(check->Field(QStringLiteral("BATCHDESC")).GetValue().toString(), "New batch");
    EXPECT_EQ(check->Field(QStringLiteral("DATEBTCH")).GetValue().toDate(), QDate(2026, 3, 4));
    EXPECT_EQ(check->Field(QStringLiteral("BATCHSTAT")).GetValue().toInt(), 1);

    // An insert that fails after taking its number gives the number back: the record keeps
    // the caller's 0, so a second try numbers it afresh, even when another session has
    // taken that number meanwhile.
    batches->ClearRecord();
    batches->Field(QStringLiteral("CODEPYMTYP")).SetValue(QStringLiteral("CA"));
    batches->Field(QStringLiteral("CNTBTCH")).SetValue(0);
    batches->Field(QStringLiteral("BATCHDESC")).SetValue(QStringLiteral("Second try"));
    Accpac::Testing::failCompanyWriteAfter(*session, 1); // the transaction begins, the INSERT fails
    EXPECT_TRUE(failure([&] { batches->Insert(); }).first.contains(QLatin1String("injected")));
    EXPECT_EQ(batches->Field(QStringLiteral("CNTBTCH")).GetValue().toInt(), 0);
    auto other = site->signOn();
    ASSERT_TRUE(other);
    auto otherBatches = other->OpenDBLink(1, 0)->OpenView(QStringLiteral("AR0041"));
    otherBatches->Field(QStringLiteral("CODEPYMTYP")).SetValue(QStringLiteral("CA"));
    otherBatches->NewRecord();
    const int taken = otherBatches->Field(QStringLiteral("CNTBTCH")).GetValue().toInt();
    EXPECT_EQ(taken, number + 2);
    batches->Insert();
    EXPECT_EQ(batches->Field(QStringLiteral("CNTBTCH")).GetValue().toInt(), taken + 1);

    // A second record with the same key is refused and nothing changes.
    auto misc = link->OpenView(QStringLiteral("OE0440"));
    misc->Field(QStringLiteral("MISCCHARGE")).SetValue(QStringLiteral("DEL"));
    misc->Field(QStringLiteral("DESC")).SetValue(QStringLiteral("Duplicate"));
    auto dup = failure([&] { misc->Insert(); });
    EXPECT_TRUE(dup.first.contains(QStringLiteral("already exists"))) << dup.first.toStdString();
    misc->ClearRecord();
    misc->Field(QStringLiteral("MISCCHARGE")).SetValue(QStringLiteral("DEL"));
    ASSERT_TRUE(misc->Read());
    EXPECT_EQ(misc->Field(QStringLiteral("DESC")).GetValue().toString(), "Delivery charge");

    // Update needs a record that was read.
    misc->ClearRecord();
    EXPECT_EQ(failure([&] { misc->Update(); }).second, 3);
}

// An update writes only what its caller changed: what another session changed meanwhile in
// the same record stays, and the record then holds both.
TEST_F(AccpacEngine, AnUpdateWritesOnlyWhatItsCallerChanged)
{
    auto mine = link->OpenView(QStringLiteral("OE0440"));
    mine->Field(QStringLiteral("MISCCHARGE")).SetValue(QStringLiteral("DEL"));
    ASSERT_TRUE(mine->Read());
    const double amount = mine->Field(QStringLiteral("AMOUNT")).GetValue().toDouble();

    auto other = site->signOn();
    ASSERT_TRUE(other);
    auto theirs = other->OpenDBLink(1, 0)->OpenView(QStringLiteral("OE0440"));
    theirs->Field(QStringLiteral("MISCCHARGE")).SetValue(QStringLiteral("DEL"));
    ASSERT_TRUE(theirs->Read());
    theirs->Field(QStringLiteral("DESC")).SetValue(QStringLiteral("Changed meanwhile"));
    theirs->Update();

    mine->Field(QStringLiteral("AMOUNT")).SetValue(amount + 2.5);
    mine->Update();
    EXPECT_EQ(mine->Field(QStringLiteral("DESC")).GetValue().toString(), "Changed meanwhile");

    auto check = link->OpenView(QStringLiteral("OE0440"));
    check->Field(QStringLiteral("MISCCHARGE")).SetValue(QStringLiteral("DEL"));
    ASSERT_TRUE(check->Read());
    EXPECT_EQ(check->Field(QStringLiteral("DESC")).GetValue().toString(), "Changed meanwhile");
    EXPECT_DOUBLE_EQ(check->Field(QStringLiteral("AMOUNT")).GetValue().toDouble(), amount + 2.5);

    // A value the caller sets is written even when its older record holds it already; with
    // nothing set the update writes nothing and reads the stored record.
    theirs->Field(QStringLiteral("AMOUNT")).SetValue(amount);
    theirs->Update();
    mine->Update();
    EXPECT_DOUBLE_EQ(mine->Field(QStringLiteral("AMOUNT")).GetValue().toDouble(), amount);
}

TEST_F(AccpacEngine, ValuesAreConvertedOrRefused)
{
    auto orders = link->OpenView(QStringLiteral("OE0520"));
    auto& complete = orders->Field(QStringLiteral("COMPLETE"));
    complete.SetValue(QStringLiteral("2"));
    EXPECT_EQ(complete.GetValue(), QVariant(2));
    complete.SetValue(true);
    EXPECT_EQ(complete.GetValue(), QVariant(1));
    complete.SetValue(4.0);
    EXPECT_EQ(complete.GetValue(), QVariant(4));
    EXPECT_TRUE(failure([&] { complete.SetValue(70000); }).first.contains("out of range"));
    EXPECT_TRUE(failure([&] { complete.SetValue(1.5); }).first.contains("COMPLETE"));
    EXPECT_TRUE(failure([&] { complete.SetValue(QStringLiteral("two")); }).first.contains("two"));
    EXPECT_EQ(complete.GetValue(), QVariant(4)); // a refused value is not stored

    auto& date = orders->Field(QStringLiteral("ORDDATE"));
    date.SetValue(20260131);
    EXPECT_EQ(date.GetValue().toDate(), QDate(2026, 1, 31));
    date.SetValue(QStringLiteral("2026-02-28"));
    EXPECT_EQ(date.GetValue().toDate(), QDate(2026, 2, 28));
    date.SetValue(QDate());
    EXPECT_TRUE(date.GetValue().toDate().isNull());
    EXPECT_EQ(failure([&] { date.SetValue(20261345); }).second, 3);

    auto& number = orders->Field(QStringLiteral("ORDNUMBER"));
    number.SetValue(QString(22, u'9'));
    EXPECT_TRUE(failure([&] { number.SetValue(QString(23, u'9')); }).first.contains("too long"));
    // A value holding "%1", "%2" and "&" shows as given in the message.
    const QString odd = QStringLiteral("%1%2&%3 %4 ORDER NUMBER");
    EXPECT_EQ(failure([&] { number.SetValue(odd); }).first,
              QStringLiteral("The value \"") + odd +
                  QStringLiteral("\" is too long for field ORDNUMBER of view OE0520 (at most 22 "
                                 "characters)."));
    auto& total = orders->Field(QStringLiteral("ORDTOTAL"));
    total.SetValue(QStringLiteral("12.5"));
    EXPECT_DOUBLE_EQ(total.GetValue().toDouble(), 12.5);
    EXPECT_EQ(failure([&] { total.SetValue(QDate(2026, 1, 1)); }).second, 3);

    auto unknown = failure([&] { orders->Field(QStringLiteral("NOSUCHFIELD")); });
    EXPECT_TRUE(unknown.first.contains("NOSUCHFIELD"));
}

TEST_F(AccpacEngine, UnknownViewsAndApplicationsAreRefused)
{
    auto unknown = failure([&] { link->OpenView(QStringLiteral("XX9999")); });
    EXPECT_TRUE(unknown.first.contains("XX9999"));
    EXPECT_EQ(unknown.second, 3);

    // Errors keep entries in order with their priorities until Clear.
    try {
        link->OpenView(QStringLiteral("ZZ0001"));
    } catch (const ComError& e) {
        EXPECT_EQ(e.number(), -2147204095);
    }
    try {
        link->OpenView(QStringLiteral("ZZ0002"));
    } catch (const ComError&) {
    }
    ASSERT_EQ(session->Errors().Count(), 2);
    EXPECT_TRUE(session->Errors().Message(1).contains("ZZ0002"));
    EXPECT_THROW(session->Errors().Get(2), ComError);
    session->Errors().Clear();
    EXPECT_EQ(session->Errors().Count(), 0);

    // A closed view refuses further work.
    auto view = link->OpenView(QStringLiteral("BK0001"));
    view->Close();
    EXPECT_EQ(failure([&] { view->Read(); }).second, 3);
}

struct Composition
{
    const char* view;
    std::vector<const char*> with;
};

// The compositions of the invoice, order and shipment layouts, in the callers' order.
const std::vector<Composition> InvoiceOlder = {
    {"OE0420", {"OE0400", "OE0660", "OE0160", "OE0720", "OE0427", "OE0422"}},
    {"OE0400", {"OE0420", "OE0401", "OE0403", "OE0402"}},
    {"OE0720", {"OE0420"}},
    {"OE0160", {"OE0420"}},
    {"OE0660", {"OE0420"}},
    {"OE0427", {"OE0420"}},
    {"OE0422", {"OE0420"}},
    {"OE0401", {"OE0400"}},
    {"OE0402", {"OE0400", "OE0404"}},
    {"OE0404", {"OE0402"}},
    {"OE0403", {"OE0400"}}};
const std::vector<Composition> Invoice56 = {
    {"OE0420", {"OE0400", "OE0999", "OE0160", "OE0720", "OE0427", "OE0422"}},
    {"OE0400", {"OE0420", "OE0401", "OE0403", "OE0402", "OE0407", "OE0406"}},
    {"OE0720", {"OE0420"}},
    {"OE0160", {"OE0420"}},
    {"OE0427", {"OE0420"}},
    {"OE0422", {"OE0420"}},
    {"OE0401", {"OE0400"}},
    {"OE0402", {"OE0400", "OE0404", "OE0405"}},
    {"OE0404", {"OE0402"}},
    {"OE0405", {"OE0402"}},
    {"OE0403", {"OE0400"}},
    {"OE0407", {"OE0400"}},
    {"OE0406", {"OE0400"}}};
const std::vector<Composition> OrderFirst = {
    {"OE0520", {"OE0500", "OE0680", "OE0180", "OE0740", "OE0526", "OE0522"}},
    {"OE0500", {"OE0520", "OE0501", "OE0503", "OE0502"}},
    {"OE0740", {"OE0520"}},
    {"OE0180", {"OE0520", "OE0500"}},
    {"OE0680", {"OE0520", "OE0500"}},
    {"OE0526", {"OE0520"}},
    {"OE0522", {"OE0520"}},
    {"OE0501", {"OE0500"}},
    {"OE0502", {"OE0500", "OE0504"}},
    {"OE0504", {"OE0502"}},
    {"OE0503", {"OE0500"}}};
const std::vector<Composition> Shipment = {
    {"OE0692", {"OE0691", "OE0682", "OE0190", "OE0745", "OE0694", "OE0704"}},
    {"OE0691", {"OE0692", "OE0697", "OE0702", "OE0705", "OE0703"}},
    {"OE0682", {"OE0692", "OE0691"}},
    {"OE0190", {"OE0692", "OE0691"}},
    {"OE0745", {"OE0692"}},
    {"OE0694", {"OE0692"}},
    {"OE0704", {"OE0692"}},
    {"OE0697", {"OE0698", "OE0699"}},
    {"OE0698", {"OE0697"}},
    {"OE0699", {"OE0697"}},
    {"OE0702", {"OE0691"}},
    {"OE0705", {"OE0691"}},
    {"OE0703", {"OE0691", "OE0706", "OE0699"}},
    {"OE0706", {"OE0703"}}};

void composeLayout(AccpacDBLink& link, const std::vector<Composition>& layout)
{
    std::map<QString, std::unique_ptr<AccpacView>> views;
    auto view = [&](const char* id) -> AccpacView* {
        auto& v = views[QString::fromLatin1(id)];
        if (!v)
            v = link.OpenView(QString::fromLatin1(id));
        return v.get();
    };
    for (const Composition& c : layout) {
        std::vector<AccpacView*> with;
        for (const char* id : c.with)
            with.push_back(view(id));
        view(c.view)->Compose(with);
    }
}

TEST_F(AccpacEngine, CompositionsOfTheLayoutsAreAcceptedAndOthersRefused)
{
    EXPECT_NO_THROW(composeLayout(*link, InvoiceOlder));
    EXPECT_NO_THROW(composeLayout(*link, Invoice56));
    EXPECT_NO_THROW(composeLayout(*link, OrderFirst));
    EXPECT_NO_THROW(composeLayout(*link, Shipment));

    // The 5.6 order layout passes a second, separate OE0504 to OE0502.
    auto lines = link->OpenView(QStringLiteral("OE0500"));
    auto lots = link->OpenView(QStringLiteral("OE0502"));
    auto first = link->OpenView(QStringLiteral("OE0504"));
    auto second = link->OpenView(QStringLiteral("OE0504"));
    EXPECT_EQ(failure([&] { lots->Compose({lines.get(), first.get(), first.get()}); }).second, 3);
    EXPECT_NO_THROW(lots->Compose({lines.get(), first.get(), second.get()}));

    auto header = link->OpenView(QStringLiteral("OE0420"));
    auto details = link->OpenView(QStringLiteral("OE0400"));
    auto shipments = link->OpenView(QStringLiteral("OE0427"));
    // Wrong order of the views: refused, and the view stays uncomposed.
    auto wrong = failure([&] { details->Compose({shipments.get(), header.get()}); });
    EXPECT_TRUE(wrong.first.contains("OE0400")) << wrong.first.toStdString();
    EXPECT_EQ(failure([&] { shipments->Compose({}); }).second, 3);
    EXPECT_NO_THROW(shipments->Compose({header.get()}));
    EXPECT_EQ(failure([&] { shipments->Compose({header.get()}); }).second, 3);
    // Views of another link cannot be composed with.
    auto otherLink = session->OpenDBLink(1, 0);
    auto foreign = otherLink->OpenView(QStringLiteral("OE0420"));
    auto comments = link->OpenView(QStringLiteral("OE0720"));
    EXPECT_EQ(failure([&] { comments->Compose({foreign.get()}); }).second, 3);
}

TEST(AccpacVersions, OlderLayoutsFollowTheApplicationVersions)
{
    Sample::Options options;
    options.oeVersion = QStringLiteral("55A");
    options.arVersion = QStringLiteral("53A");
    options.orders = 2;
    TestSite site(options);
    auto session = site.signOn();
    ASSERT_TRUE(session);
    auto link = session->OpenDBLink(1, 0);
    auto apps = link->ActiveApplications();
    ASSERT_EQ(apps.Count(), 3);
    EXPECT_EQ(apps.Item(2).AppID(), "OE");
    EXPECT_EQ(apps.Item(2).Version(), "55A");

    auto types = link->OpenView(QStringLiteral("AR0012"));
    types->Field(QStringLiteral("CODPAYMTYP")).SetValue(QStringLiteral("VISA"));
    ASSERT_TRUE(types->Read());
    EXPECT_EQ(types->Field(QStringLiteral("TEXTDESC")).GetValue().toString(), "Visa");
    EXPECT_THROW(types->Field(QStringLiteral("PAYMCODE")), ComError);

    // The 5.6 views do not exist before OE 5.6; the older layout works.
    EXPECT_THROW(link->OpenView(QStringLiteral("OE0999")), ComError);
    EXPECT_NO_THROW(composeLayout(*link, InvoiceOlder));
    EXPECT_THROW(composeLayout(*link, Invoice56), ComError);
}

TEST(AccpacVersions, CompanyWithoutOrderEntryHasNoOrderViews)
{
    Sample::Options options;
    options.withOrderEntry = false;
    TestSite site(options);
    auto session = site.signOn();
    ASSERT_TRUE(session);
    auto link = session->OpenDBLink(1, 0);
    EXPECT_EQ(link->ActiveApplications().Count(), 2);
    try {
        link->OpenView(QStringLiteral("OE0520"));
        ADD_FAILURE();
    } catch (const ComError& e) {
        EXPECT_TRUE(e.description().contains("not active")) << e.what();
    }
    EXPECT_NO_THROW(link->OpenView(QStringLiteral("AR0024")));
}

TEST_F(AccpacEngine, CallLogRecordsTheViewCalls)
{
    Accpac::Testing::setCallLogEnabled(*session, true);
    Accpac::Testing::clearCallLog(*session);
    {
        auto view = link->OpenView(QStringLiteral("OE0692"));
        view->SetOrder(2);
        view->Browse(QStringLiteral("ORDNUMBER = \"ORD001000\""), true);
        view->Fetch();
        view->Field(QStringLiteral("SHINUMBER")).GetValue();
        view->Close();
    }
    using Call = Accpac::Testing::ViewCall;
    const QList<Call> expected = {{"OE0692", "OpenView", {}},
                                  {"OE0692", "SetOrder", {"2"}},
                                  {"OE0692", "Browse", {"ORDNUMBER = \"ORD001000\"", "True"}},
                                  {"OE0692", "Fetch", {}},
                                  {"OE0692", "GetValue", {"SHINUMBER"}},
                                  {"OE0692", "Close", {}}};
    EXPECT_EQ(Accpac::Testing::callLog(*session), expected);
    Accpac::Testing::setCallLogEnabled(*session, false);
}

// One session writes while another reads the same company file: WAL and the busy
// timeout keep both going without "database is locked".
TEST_F(AccpacEngine, TwoSessionsOnOneFileWriteAndReadAtOnce)
{
    auto writer = site->signOn();
    ASSERT_TRUE(writer);
    auto writerLink = writer->OpenDBLink(1, 0);
    std::atomic<bool> done = false;
    std::atomic<int> writeFailures = 0;
    std::thread thread([&] {
        auto misc = writerLink->OpenView(QStringLiteral("OE0440"));
        for (int i = 0; i < 150; ++i) {
            try {
                misc->ClearRecord();
                misc->Field(QStringLiteral("MISCCHARGE")).SetValue(QStringLiteral("T%1").arg(i));
                misc->Field(QStringLiteral("DESC")).SetValue(QStringLiteral("Charge %1").arg(i));
                misc->Insert();
                misc->Field(QStringLiteral("AMOUNT")).SetValue(i);
                misc->Update();
            } catch (const ComError&) {
                ++writeFailures;
            }
        }
        done = true;
    });
    int reads = 0;
    int readFailures = 0;
    auto misc = link->OpenView(QStringLiteral("OE0440"));
    while (!done || reads < 50) {
        try {
            misc->Browse(QStringLiteral("MISCCHARGE >= \"T\""), true);
            while (misc->Fetch())
                ;
            misc->Field(QStringLiteral("MISCCHARGE")).SetValue(QStringLiteral("DEL"));
            if (!misc->Read())
                ++readFailures;
        } catch (const ComError&) {
            ++readFailures;
        }
        ++reads;
    }
    thread.join();
    EXPECT_EQ(writeFailures, 0);
    EXPECT_EQ(readFailures, 0);
    misc->Browse(QStringLiteral("MISCCHARGE >= \"T\" AND MISCCHARGE < \"U\""), true);
    int count = 0;
    while (misc->Fetch())
        ++count;
    EXPECT_EQ(count, 150);
}

// The same with a second program: another process inserts and updates while this one
// browses and reads.
TEST_F(AccpacEngine, TwoProcessesOnOneFileWriteAndReadAtOnce)
{
    QProcess writer;
    writer.start(QStringLiteral(ACCPAC_WRITER), {site->folder, QStringLiteral("120"), "P"});
    ASSERT_TRUE(writer.waitForStarted());
    auto misc = link->OpenView(QStringLiteral("OE0440"));
    int reads = 0;
    int readFailures = 0;
    while (writer.state() != QProcess::NotRunning || reads < 50) {
        try {
            misc->Browse(QStringLiteral("MISCCHARGE >= \"P\" AND MISCCHARGE < \"Q\""), true);
            while (misc->Fetch())
                ;
            misc->Field(QStringLiteral("MISCCHARGE")).SetValue(QStringLiteral("FRT"));
            if (!misc->Read())
                ++readFailures;
        } catch (const ComError& e) {
            ADD_FAILURE() << e.what();
            ++readFailures;
        }
        ++reads;
        writer.waitForFinished(1);
    }
    EXPECT_EQ(writer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().toStdString();
    EXPECT_EQ(readFailures, 0);
    misc->Browse(QStringLiteral("MISCCHARGE >= \"P\" AND MISCCHARGE < \"Q\" AND AMOUNT >= 0"),
                 true);
    int count = 0;
    while (misc->Fetch())
        ++count;
    EXPECT_EQ(count, 120);
}

} // namespace
