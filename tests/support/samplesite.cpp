#include "samplesite.h"

#include <core/session.h>

#include <accpac/standin.h>

#include <teststore.h>

Sample::Options SampleSite::small()
{
    Sample::Options options;
    options.orders = 40;
    return options;
}

SampleSite::SampleSite(Sample::Options options, const QString& userId, const QString& password)
    : m_site(TestStore::newSite(m_dir.path()))
{
    options.folder = m_site;
    options.strength = Accpac::Admin::HashStrength::Minimal;
    Sample::createSampleSite(options);
    using namespace modGeneral;
    AppSession = Accpac::createSession();
    AppSession->Init(QString(), QStringLiteral("AS"), QStringLiteral("AS0001"),
                     QStringLiteral("53A"));
    m_signedOn = Accpac::Testing::signOn(*AppSession, m_site, Sample::CompanyId, userId, password);
    if (m_signedOn) {
        AppDBLink = AppSession->OpenDBLink(1, 0);
        AppCompany = AppDBLink->Company();
    }
}

SampleSite::~SampleSite()
{
    modGeneral::Close_Connections();
}

QString SampleSite::companyFile() const
{
    return Accpac::Admin::companyDatabaseFile(m_site, Sample::CompanyId);
}
