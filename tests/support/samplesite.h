#pragma once

#include <sample.h>

#include <QTemporaryDir>

// A sample site made afresh, with the program's session objects (modGeneral::AppSession,
// AppDBLink, AppCompany) signed on to its company: a temporary folder, or a new database of
// the tests' PostgreSQL server when the tests run there (TestStore::onServer). The session
// is closed and the folder removed when the object goes.
class SampleSite
{
public:
    // The sample's options with a small order book (40 orders), quick to make.
    static Sample::Options small();

    explicit SampleSite(const Sample::Options& options = small(),
                        const QString& userId = QStringLiteral("ADMIN"),
                        const QString& password = Sample::AdminPassword);
    ~SampleSite();
    SampleSite(const SampleSite&) = delete;
    SampleSite& operator=(const SampleSite&) = delete;

    // The site: its folder, or its connection string on the server.
    QString folder() const { return m_site; }
    // The company's file, or the connection string that reaches its schema.
    QString companyFile() const;
    bool signedOn() const { return m_signedOn; }

private:
    QTemporaryDir m_dir;
    QString m_site;
    bool m_signedOn = false;
};
