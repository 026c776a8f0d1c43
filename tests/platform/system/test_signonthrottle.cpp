// The sign-on slows down after five failed tries for one user ID, measured on a clock the
// test moves; unknown user IDs get the same answer, the same work and the same delays.
#include "sitefixture.h"

#include <accpac/session.h>

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

class SignonThrottleTest : public ::testing::Test
{
protected:
    SignonThrottleTest()
    {
        Accpac::Testing::clearSignonFailures();
        Accpac::Testing::setSignonClock([this] { return now; });
    }
    ~SignonThrottleTest() override
    {
        Accpac::Testing::setSignonClock({});
        Accpac::Testing::clearSignonFailures();
    }

    // The sign-on's answer: "" when signed on, else its message.
    QString signOn(const QString& user, const QString& password)
    {
        auto session = Accpac::createSession();
        session->Init(QString(), QStringLiteral("AS"), QStringLiteral("AS0001"),
                      QStringLiteral("53A"));
        if (Accpac::Testing::signOn(*session, site.siteFolder(), Sample::CompanyId, user, password))
            return QString();
        return session->Errors().Message(0);
    }

    SharedSite site;
    std::chrono::steady_clock::time_point now{};
    const QString invalid = QStringLiteral("Invalid user ID or password.");
    const QString clerk = Sample::ClerkId;
    const QString clerkPassword = Sample::ClerkPassword;
};

QString waitMessage(const QString& user, int seconds)
{
    return QStringLiteral("Too many failed sign-ons for user %1. Please wait %2 and try again.")
        .arg(user,
             seconds == 1 ? QStringLiteral("1 second") : QStringLiteral("%1 seconds").arg(seconds));
}

} // namespace

TEST_F(SignonThrottleTest, FiveFailuresThenWaitsThatGrow)
{
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(signOn(clerk, QStringLiteral("wrong")), invalid) << i;
    // The sixth try, even with the right password, waits 5 seconds.
    EXPECT_EQ(signOn(clerk, clerkPassword), waitMessage(clerk, 5));
    now += 4s;
    EXPECT_EQ(signOn(clerk, clerkPassword), waitMessage(clerk, 1));
    now += 999ms;
    EXPECT_EQ(signOn(clerk, clerkPassword), waitMessage(clerk, 1));
    now += 1ms;
    // Another failure doubles the wait.
    EXPECT_EQ(signOn(clerk, QStringLiteral("wrong")), invalid);
    EXPECT_EQ(signOn(clerk, clerkPassword), waitMessage(clerk, 10));
    now += 10s;
    EXPECT_EQ(signOn(clerk, QStringLiteral("wrong")), invalid);
    EXPECT_EQ(signOn(clerk, clerkPassword), waitMessage(clerk, 20));
    // Other users are not held up.
    EXPECT_EQ(signOn(Sample::SupervisorId, Sample::SupervisorPassword), QString());
    // After the wait the right password signs on and the count starts again.
    now += 20s;
    EXPECT_EQ(signOn(clerk, clerkPassword), QString());
    EXPECT_EQ(signOn(clerk, QStringLiteral("wrong")), invalid);
    EXPECT_EQ(signOn(clerk, clerkPassword), QString());
}

TEST_F(SignonThrottleTest, LongestWaitIsAMinute)
{
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(signOn(clerk, QStringLiteral("wrong")), invalid) << i;
        now += 61s;
    }
    now -= 61s;
    EXPECT_EQ(signOn(clerk, clerkPassword), waitMessage(clerk, 60));
}

TEST_F(SignonThrottleTest, UnknownUserIdsAreAnsweredAlike)
{
    const QString unknown = QStringLiteral("NOSUCH");
    // The same answer and one password verification each, as for a known user.
    int before = Accpac::Testing::passwordVerifications();
    EXPECT_EQ(signOn(clerk, QStringLiteral("wrong")), invalid);
    EXPECT_EQ(Accpac::Testing::passwordVerifications(), before + 1);
    before = Accpac::Testing::passwordVerifications();
    EXPECT_EQ(signOn(unknown, QStringLiteral("wrong")), invalid);
    EXPECT_EQ(Accpac::Testing::passwordVerifications(), before + 1);
    // And the same delays.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(signOn(unknown, QStringLiteral("wrong")), invalid);
    EXPECT_EQ(signOn(unknown, QStringLiteral("wrong")), waitMessage(unknown, 5));
}
