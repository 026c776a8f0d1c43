#pragma once

#include <accpac/standin.h>
#include <sample.h>
#include <teststore.h>

#include <QTemporaryDir>

#include <memory>

// A fresh sample site (in a temporary folder, or a database of the tests' server) and a
// session signed on to it.
struct TestSite
{
    explicit TestSite(Sample::Options options = {})
    {
        options.folder = TestStore::newSite(dir.path() + QStringLiteral("/site"));
        options.strength = Accpac::Admin::HashStrength::Minimal;
        if (options.orders == Sample::Options().orders)
            options.orders = 40;
        Sample::createSampleSite(options);
        folder = options.folder;
    }

    std::unique_ptr<AccpacSession> signOn(const QString& user = QStringLiteral("ADMIN"),
                                          const QString& password = QStringLiteral("ADMIN")) const
    {
        auto session = Accpac::createSession();
        session->Init(QString(), QStringLiteral("AS"), QStringLiteral("AS0001"),
                      QStringLiteral("53A"));
        if (!Accpac::Testing::signOn(*session, folder, Sample::CompanyId, user, password))
            return nullptr;
        return session;
    }

    QTemporaryDir dir;
    QString folder;
};
