#include <accpac/standin.h>

#include "finderimpl.h"
#include "sessionimpl.h"
#include "signonthrottle.h"
#include "site.h"
#include "siteroles.h"
#include "standinstate.h"
#include "store.h"

#include <system/comerror.h>

#include <QLocale>

namespace Accpac {

namespace {

QString& currentSite()
{
    static QString folder = defaultSiteFolder();
    return folder;
}

SessionImpl& impl(AccpacSession& session)
{
    auto* s = dynamic_cast<SessionImpl*>(&session);
    if (!s)
        throw ComError(ComErrorNumber::E_Fail,
                       QStringLiteral("Not a session of the embedded company."));
    return *s;
}

} // namespace

namespace State {

std::optional<std::optional<Testing::SignonAnswer>>& signonAnswer()
{
    static std::optional<std::optional<Testing::SignonAnswer>> answer;
    return answer;
}

Testing::FinderPicker& finderPicker()
{
    static Testing::FinderPicker picker;
    return picker;
}

std::weak_ptr<SessionCore>& signedOnCore()
{
    static std::weak_ptr<SessionCore> core;
    return core;
}

Testing::PrintDialogAnswer& printDialogAnswer()
{
    static Testing::PrintDialogAnswer answer;
    return answer;
}

Testing::MessageRecorder& screenMessageRecorder()
{
    static Testing::MessageRecorder recorder;
    return recorder;
}

Testing::QuestionAnswer& screenQuestionAnswer()
{
    static Testing::QuestionAnswer answer;
    return answer;
}

std::optional<Testing::SessionFault>& sessionFault()
{
    static std::optional<Testing::SessionFault> fault;
    return fault;
}

void throwSessionFault(Testing::SessionCall call, ErrorsImpl& errors)
{
    auto& fault = sessionFault();
    if (!fault || fault->call != call)
        return;
    const Testing::SessionFault fired = *fault;
    fault.reset();
    if (fired.errorEntry)
        errors.add(fired.message, Priority::Error);
    throw ComError(fired.number, fired.message);
}

} // namespace State

std::unique_ptr<AccpacSignon> createSignon()
{
    return std::make_unique<SignonImpl>();
}

std::unique_ptr<AccpacSession> createSession()
{
    return std::make_unique<SessionImpl>();
}

std::unique_ptr<AccpacFinder> createFinder()
{
    return std::make_unique<FinderImpl>();
}

QString defaultSiteFolder()
{
    return QStringLiteral("/var/lib/tallymerge/site");
}

QString siteFolder()
{
    return currentSite();
}

void setSiteFolder(const QString& folder)
{
    currentSite() = folder;
}

bool isServerSite(const QString& site)
{
    return StoreLocation(site).onServer();
}

QString shownSite(const QString& site)
{
    return StoreLocation(site).shown();
}

QString workstationSiteProblem(const QString& site)
{
    const StoreLocation location(site);
    if (!location.onServer())
        return {};
    QString problem;
    try {
        problem = SiteRoles::signOnLoginProblem(*location.open(), site, site);
    } catch (const StorageError&) {
        return {};
    }
    if (problem.isEmpty())
        return {};
    return QStringLiteral("The site of this workstation's settings, %1, %2; ask the site's "
                          "administrator for the sign-on login (tallymerge-admin create-site "
                          "CONNINFO SITE) and name that in the setting Site.")
        .arg(withoutPassword(site), problem);
}

QList<std::pair<QString, QString>> serverOdbcAttributes(const QString& companyStore)
{
    // libpq's keywords and psqlODBC's names for them.
    static const QList<std::pair<QString, QString>> names = {
        {QStringLiteral("host"), QStringLiteral("Servername")},
        {QStringLiteral("port"), QStringLiteral("Port")},
        {QStringLiteral("dbname"), QStringLiteral("Database")},
        {QStringLiteral("user"), QStringLiteral("Username")},
        {QStringLiteral("sslmode"), QStringLiteral("SSLmode")}};
    QList<std::pair<QString, QString>> attributes;
    for (const auto& [key, value] : conninfoOptions(companyStore)) {
        for (const auto& [keyword, name] : names)
            if (key == keyword)
                attributes.append({name, value});
        if (key == QLatin1String("options") && value.startsWith(QLatin1String("-csearch_path=")))
            attributes.append({QStringLiteral("ConnSettings"),
                               QStringLiteral("SET search_path TO ") + value.mid(14)});
    }
    return attributes;
}

std::optional<ServerLogin> signedOnServerLogin()
{
    const std::shared_ptr<SessionCore> core = State::signedOnCore().lock();
    if (!core || !core->opened || !core->companyDb->server())
        return std::nullopt;
    return ServerLogin{SiteRoles::userRole(core->siteFolder, core->userId), core->serverPassword};
}

QString signedOnCompanyStore()
{
    const std::shared_ptr<SessionCore> core = State::signedOnCore().lock();
    return core && core->opened && core->companyDb ? core->companyDb->location() : QString();
}

namespace Admin {

void setBulkLoading(AccpacSession& session, bool on)
{
    const auto& db = impl(session).core().companyDb;
    if (!db)
        return;
    try {
        db->setBulkLoading(on);
    } catch (const StorageError& e) {
        throw ComError(ComErrorNumber::E_Fail, e.message());
    }
}

} // namespace Admin

namespace Testing {

namespace {

std::unique_ptr<Database> openStoreAt(const QString& location)
{
    return StoreLocation(location).open();
}

} // namespace

QStringList queryStore(const QString& location, const QString& sql)
{
    try {
        auto db = openStoreAt(location);
        Statement st = db->prepare(sql.toUtf8());
        QStringList rows;
        while (st.step()) {
            QStringList columns;
            for (int c = 0; c < st.columnCount(); ++c) {
                const QVariant value = st.columnValue(c);
                columns << (value.typeId() == QMetaType::Double
                                ? QString::number(value.toDouble(), 'g',
                                                  QLocale::FloatingPointShortest)
                                : value.toString());
            }
            rows << columns.join(u'|');
        }
        return rows;
    } catch (const StorageError& e) {
        throw ComError(ComErrorNumber::E_Fail, e.message());
    }
}

QStringList storeColumns(const QString& location, const QString& table)
{
    try {
        QStringList names = openStoreAt(location)->columnNames(table);
        for (QString& name : names)
            name = name.toUpper();
        return names;
    } catch (const StorageError& e) {
        throw ComError(ComErrorNumber::E_Fail, e.message());
    }
}

void executeOnStore(const QString& location, const QString& sql)
{
    try {
        openStoreAt(location)->exec(sql.toUtf8());
    } catch (const StorageError& e) {
        throw ComError(ComErrorNumber::E_Fail, e.message());
    }
}

bool signOn(AccpacSession& session, const QString& siteFolder, const QString& companyId,
            const QString& userId, const QString& password)
{
    setSiteFolder(siteFolder);
    return signOnWith(impl(session), siteFolder, companyId, userId, password);
}

void setSignonAnswer(std::optional<std::optional<SignonAnswer>> answer)
{
    State::signonAnswer() = std::move(answer);
}

void scriptSignon(const SignonAnswer& answer)
{
    setSignonAnswer(std::optional<SignonAnswer>(answer));
}

void scriptSignonCancel()
{
    setSignonAnswer(std::optional<SignonAnswer>());
}

void clearSignonScript()
{
    setSignonAnswer(std::nullopt);
}

void failSessionCall(const SessionFault& fault)
{
    State::sessionFault() = fault;
}

void clearSessionFault()
{
    State::sessionFault().reset();
}

void setFinderPicker(FinderPicker picker)
{
    State::finderPicker() = std::move(picker);
}

void setPrintDialogAnswer(PrintDialogAnswer answer)
{
    State::printDialogAnswer() = std::move(answer);
}

void setScreenMessageRecorder(MessageRecorder recorder)
{
    State::screenMessageRecorder() = std::move(recorder);
}

void setScreenQuestionAnswer(QuestionAnswer answer)
{
    State::screenQuestionAnswer() = std::move(answer);
}

void setCallLogEnabled(AccpacSession& session, bool enabled)
{
    impl(session).core().logEnabled = enabled;
}

QList<ViewCall> callLog(AccpacSession& session)
{
    return impl(session).core().log;
}

void clearCallLog(AccpacSession& session)
{
    impl(session).core().log.clear();
}

void setSignonClock(std::function<std::chrono::steady_clock::time_point()> clock)
{
    signonThrottle().setClock(std::move(clock));
}

void clearSignonFailures()
{
    signonThrottle().clear();
}

int passwordVerifications()
{
    return Accpac::passwordVerifications;
}

void failCompanyWriteAfter(AccpacSession& session, int writes)
{
    if (auto& db = impl(session).core().companyDb)
        db->failWriteAfter(writes);
}

int companyWritesCounted(AccpacSession& session)
{
    const auto& db = impl(session).core().companyDb;
    return db ? db->writesCounted() : 0;
}

int lookUpsReadAhead(AccpacSession& session)
{
    return impl(session).core().readAhead.answered();
}

} // namespace Testing
} // namespace Accpac
