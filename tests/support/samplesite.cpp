#include "samplesite.h"

#include <core/session.h>

#include <accpac/standin.h>

#include <QHash>

#include <teststore.h>

Sample::Options SampleSite::small()
{
    Sample::Options options;
    options.orders = 40;
    return options;
}

namespace {

// The site of `options` in `folder`. On the tests' server each set of options is made once,
// into a database kept as the template that every later site of those options copies.
QString makeSite(Sample::Options options, const QString& folder)
{
    options.strength = Accpac::Admin::HashStrength::Minimal;
    if (!TestStore::onServer()) {
        options.folder = folder;
        Sample::createSampleSite(options);
        return folder;
    }
    static QHash<QString, QString> templates;
    const QString key = QStringLiteral("%1 %2 %3 %4 %5")
                            .arg(options.orders)
                            .arg(options.oeVersion, options.arVersion)
                            .arg(options.withOrderEntry)
                            .arg(options.linesPerShipment);
    if (!templates.contains(key)) {
        options.folder = TestStore::newSite(folder);
        Sample::createSampleSite(options);
        templates.insert(key, options.folder);
    }
    return TestStore::copySite(templates.value(key));
}

} // namespace

SampleSite::SampleSite(const Sample::Options& options, const QString& userId,
                       const QString& password)
    : m_site(makeSite(options, m_dir.path()))
{
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
