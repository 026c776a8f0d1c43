#pragma once

#include <sample.h>

#include <QTemporaryDir>

// A sample site made afresh in a temporary folder, with the program's session objects
// (modGeneral::AppSession, AppDBLink, AppCompany) signed on to its company. The session
// is closed and the folder removed when the object goes.
class SampleSite
{
public:
    // The sample's options with a small order book (40 orders), quick to make.
    static Sample::Options small();

    explicit SampleSite(Sample::Options options = small(),
                        const QString& userId = QStringLiteral("ADMIN"),
                        const QString& password = Sample::AdminPassword);
    ~SampleSite();
    SampleSite(const SampleSite&) = delete;
    SampleSite& operator=(const SampleSite&) = delete;

    QString folder() const { return m_dir.path(); }
    QString companyFile() const;
    bool signedOn() const { return m_signedOn; }

private:
    QTemporaryDir m_dir;
    bool m_signedOn = false;
};
