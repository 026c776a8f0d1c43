#pragma once

#include "testsite.h"

#include <gtest/gtest.h>

// A test suite over one sample site, each case with its own ADMIN session and company link.
class SiteTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { site = new TestSite(); }
    static void TearDownTestSuite()
    {
        delete site;
        site = nullptr;
    }

    void SetUp() override
    {
        session = site->signOn();
        ASSERT_TRUE(session);
        link = session->OpenDBLink(1, 0);
    }

    inline static TestSite* site = nullptr;
    std::unique_ptr<AccpacSession> session;
    std::shared_ptr<AccpacDBLink> link;
};
