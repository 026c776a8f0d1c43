#include <odbc/connection.h>
#include <odbc/connectionstring.h>

#include <system/comerror.h>

#include <gtest/gtest.h>

namespace {

using OdbcConnectionString::Attribute;

TEST(OdbcConnectionString, QuotesOnlyValuesThatNeedIt)
{
    EXPECT_EQ(OdbcConnectionString::attribute("UID", "clerk"), "UID=clerk");
    EXPECT_EQ(OdbcConnectionString::attribute("PWD", ""), "PWD=");
    EXPECT_EQ(OdbcConnectionString::attribute("PWD", "a;b"), "PWD={a;b}");
    EXPECT_EQ(OdbcConnectionString::attribute("PWD", "{x}"), "PWD={{x}}}");
    EXPECT_EQ(OdbcConnectionString::attribute("PWD", "}"), "PWD={}}}");
    EXPECT_EQ(OdbcConnectionString::attribute("PWD", " lead"), "PWD={ lead}");
    EXPECT_EQ(OdbcConnectionString::attribute("PWD", "a=b"), "PWD={a=b}");
}

// Every value survives attribute() and parse(), whatever characters it holds.
TEST(OdbcConnectionString, RoundTripsAnyValue)
{
    const QStringList values = {"plain",   "semi;colon", "{open",         "close}",
                                "}}",      "{;}",        "[]{}(),;?*=!@", " both ends ",
                                "tab\tin", "Zürich €",   "x}=;{y"};
    for (const QString& value : values) {
        const QString text = "Provider=MSDASQL;DSN=Sample;" +
                             OdbcConnectionString::attribute("UID", value) + ";" +
                             OdbcConnectionString::attribute("PWD", value);
        const QList<Attribute> parsed = OdbcConnectionString::parse(text);
        ASSERT_EQ(parsed.size(), 4) << text.toStdString();
        EXPECT_EQ(parsed.at(2), Attribute("UID", value)) << text.toStdString();
        EXPECT_EQ(parsed.at(3), Attribute("PWD", value)) << text.toStdString();
        EXPECT_EQ(OdbcConnectionString::parse(OdbcConnectionString::join(parsed)), parsed);
    }
}

TEST(OdbcConnectionString, ParsesLooseAndRejectsBrokenStrings)
{
    EXPECT_EQ(OdbcConnectionString::parse(" DSN=a;;UID=b ; ;PWD={c} ;"),
              (QList<Attribute>{{"DSN", "a"}, {"UID", "b "}, {"PWD", "c"}}));
    EXPECT_EQ(OdbcConnectionString::parse("DSN=a=b"), (QList<Attribute>{{"DSN", "a=b"}}));
    EXPECT_TRUE(OdbcConnectionString::parse("").isEmpty());
    for (const char* broken : {"DSN=a;PWD={unclosed", "DSN=a;orphan", "=value", "PWD={a}b"}) {
        try {
            OdbcConnectionString::parse(broken);
            ADD_FAILURE() << broken << " was accepted";
        } catch (const ComError& error) {
            EXPECT_EQ(error.number(), AdoErrorNumber::ConnectionStringInvalid) << broken;
        }
    }
}

} // namespace
