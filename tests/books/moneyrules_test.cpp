// The money rules decide in the currency's decimals: sums that single precision misses,
// the edges of each rule, and amounts of different decimals.
#include <books/moneyrules.h>

#include <gtest/gtest.h>

using Books::Money;

namespace {

Money cents(qint64 units)
{
    return {units, 2};
}

} // namespace

TEST(Money, SumsAndComparesExactly)
{
    EXPECT_EQ(Money::of(12.34) + Money::of(87.66), cents(10000));
    // The same amounts in single precision added to a double, as the window's running total
    // adds them, come to a little more than 100.
    EXPECT_GT(double(float(12.34)) + double(float(87.66)), 100.0);
    EXPECT_EQ(Money::of(0.005), cents(1)); // half away from zero
    EXPECT_EQ(Money::of(-0.005), cents(-1));
    EXPECT_EQ(Money::of(99999999.99), cents(9999999999));
    EXPECT_EQ(Money::of(1.5, 0), (Money{2, 0}));
    EXPECT_EQ((Money{100, 0}), cents(10000));
    EXPECT_LT(cents(10000), (Money{100001, 3}));
    EXPECT_EQ((cents(150) + Money{5, 3}).units, 1505);
}

TEST(MoneyRules, DeliveryChargeAtItsEdges)
{
    int asked = 0;
    auto flagged = [&] {
        ++asked;
        return true;
    };
    auto decide = [&](Books::DeliveryChargeCase invoice) {
        return Books::decideDeliveryCharge(invoice, flagged);
    };
    const Books::DeliveryChargeCase qualifying{true, QStringLiteral("1200"), cents(10000), false,
                                               QStringLiteral("DEL")};
    EXPECT_EQ(decide(qualifying), Books::DeliveryChargeOutcome::On);
    struct Case
    {
        const char* what;
        Books::DeliveryChargeCase invoice;
        Books::DeliveryChargeOutcome outcome;
        int asks; // whether the customer's flag is read
    };
    auto with = [&](auto change) {
        Books::DeliveryChargeCase invoice = qualifying;
        change(invoice);
        return invoice;
    };
    using Outcome = Books::DeliveryChargeOutcome;
    const Case cases[] = {
        {"switched off", with([](auto& i) { i.featureOn = false; }), Outcome::Off, 0},
        {"no customer", with([](auto& i) { i.customer = QStringLiteral("  "); }), Outcome::Off, 0},
        {"0.00", with([](auto& i) { i.total = cents(0); }), Outcome::Off, 0},
        {"0.01", with([](auto& i) { i.total = cents(1); }), Outcome::On, 1},
        {"100.01", with([](auto& i) { i.total = cents(10001); }), Outcome::Off, 0},
        {"negative", with([](auto& i) { i.total = cents(-500); }), Outcome::Off, 0},
        {"cash sale", with([](auto& i) { i.cashSale = true; }), Outcome::Off, 0},
        {"no code", with([](auto& i) { i.chargeCode = QStringLiteral(" "); }),
         Outcome::Unconfigured, 1},
        {"three decimals", with([](auto& i) {
             i.total = Money{100000, 3};
         }),
         Outcome::On, 1},
    };
    for (const Case& c : cases) {
        asked = 0;
        EXPECT_EQ(decide(c.invoice), c.outcome) << c.what;
        EXPECT_EQ(asked, c.asks) << c.what;
    }
    asked = 0;
    EXPECT_EQ(Books::decideDeliveryCharge(qualifying, [] { return false; }), Outcome::Off);
}

TEST(MoneyRules, PrepaymentAndCreditLimits)
{
    EXPECT_FALSE(Books::prepaymentExceeds(cents(10000), Money::of(12.34) + Money::of(87.66)));
    EXPECT_TRUE(Books::prepaymentExceeds(cents(10001), cents(10000)));
    // Limit 1000, balance 800: 200 leaves exactly 0 and needs no approval; 200.01 does.
    EXPECT_FALSE(Books::creditApprovalNeeded(cents(100000), cents(80000), cents(20000)));
    EXPECT_TRUE(Books::creditApprovalNeeded(cents(100000), cents(80000), cents(20001)));
    EXPECT_TRUE(Books::creditApprovalNeeded(cents(0), cents(0), cents(1)));
    EXPECT_FALSE(Books::creditApprovalNeeded(cents(0), cents(0), cents(0)));
}
