// The books' auditor (see accpac/audit.h): opens the company file read-only and runs the
// rules of auditrules.h over one moment of the books.
#include "auditrules.h"
#include "dictionary.h"
#include "journalaudit.h"
#include "schema.h"
#include "site.h"
#include "siteroles.h"
#include "store.h"

#include <accpac/audit.h>
#include <system/comerror.h>

#include <QFileInfo>

namespace Accpac {

namespace {

// A file another program holds locked is reported after this wait rather than the usual one.
constexpr int LockWaitMs = 3000;

ComError badInput(const QString& sentence)
{
    return ComError(ComErrorNumber::E_Fail, sentence);
}

// The company's ID; throws when the file is newer than the program or no company file.
QString requireCompany(Database& db, const QString& file)
{
    const int version = schemaVersion(db, Store::Company);
    const int program = programSchemaVersion(Store::Company);
    if (version > program)
        throw badInput(QStringLiteral("The company file \"%1\" was made by a newer version of the "
                                      "program (tables of version %2; this program knows up to "
                                      "version %3).")
                           .arg(file)
                           .arg(version)
                           .arg(program));
    // The rules read the tables of this program's version; the auditor never upgrades. A file
    // without the company profile is no company file of any version (a site's system file).
    if (version < program && db.hasTable(QStringLiteral("CSCOM")))
        throw badInput(QStringLiteral("The company file \"%1\" has tables of version %2, older "
                                      "than this program's %3, whose rules read tables it lacks: "
                                      "upgrade first (tallymerge-admin upgrade), then check it. "
                                      "It was left unchanged.")
                           .arg(file)
                           .arg(version)
                           .arg(program));
    const QStringList present = db.tableNames();
    QStringList needed = {QStringLiteral("CSCOM")};
    for (const ViewDef* def : allTables())
        if (def->store == Store::Company)
            needed << def->table;
    for (const QString& table : needed)
        if (!present.contains(table.toUpper()))
            throw badInput(QStringLiteral("The file \"%1\" is not a company file: it has no table "
                                          "%2.")
                               .arg(file, table));
    Statement st = db.prepare("SELECT TRIM(ID), (SELECT COUNT(*) FROM CSCOM) FROM CSCOM");
    if (!st.step() || st.columnInt(1) != 1 || st.columnText(0).isEmpty())
        throw badInput(QStringLiteral("The file \"%1\" is not a company file: it holds no company "
                                      "profile.")
                           .arg(file));
    return st.columnText(0).toUpper();
}

// With settings, the rule is a delivery-charge rule: an invoice judged by the settings of its
// journal entry (its number in the first column) is left to the journal's rules.
void run(Database& db, const AuditRule& rule, QStringList& problems,
         const AuditSettings* settings = nullptr, const QSet<QString>& judgedByEntry = {})
{
    Statement st = db.prepare(rule.sql);
    if (settings) {
        st.bindText(1, settings->deliveryChargeCode.trimmed());
        st.bindInt(2, settings->deliveryChargeOn ? 1 : 0);
    }
    while (st.step())
        if (!judgedByEntry.contains(st.columnText(0).trimmed()))
            problems << rule.describe(st);
}

JournalAudit readableJournal(Database& db, const QString& named)
{
    try {
        return auditJournal(db);
    } catch (const StorageError& e) {
        if (e.isBusy())
            throw;
        throw badInput(QStringLiteral("The journal of the company file \"%1\" cannot be read "
                                      "(%2); its books were not checked.")
                           .arg(named, e.message()));
    }
}

void checkApprovals(Database& company, const QString& companyId, const AuditOptions& options,
                    const StoreLocation& companyStore, AuditReport& report)
{
    const QString site = !options.siteFolder.isEmpty() ? options.siteFolder
                         : companyStore.onServer()     ? companyStore.name()
                                                   : QFileInfo(companyStore.name()).absolutePath();
    try {
        const std::unique_ptr<Database> system = openSiteSystemToRead(site);
        if (system->server() && !SiteRoles::seesEveryonesRights(*system)) {
            report.skipped << QStringLiteral("The approvals were not checked: the auditor's "
                                             "login reads only its own rights; run it as the "
                                             "site's administrator.");
            return;
        }
        report.problems << unauthorisedApprovals(company, *system, companyId);
    } catch (const StorageError& e) {
        report.skipped << QStringLiteral("The approvals were not checked: the site's users cannot "
                                         "be read (%1).")
                              .arg(e.message());
    }
}

} // namespace

AuditReport auditCompanyFile(const QString& companyFile, const AuditOptions& options)
{
    const StoreLocation store(companyFile);
    if (!store.onServer() && !QFileInfo(companyFile).isFile())
        throw badInput(QStringLiteral("The company file \"%1\" does not exist.").arg(companyFile));
    // A server's connection string is named without its password.
    const QString named = store.shown();
    AuditReport report;
    try {
        const std::unique_ptr<Database> opened = store.open(StoreAccess::ReadOnly);
        if (FileStore* file = opened->fileStore())
            file->setLockWait(LockWaitMs);
        Database& db = *opened;
        // One read transaction: every rule sees the same moment of the books.
        db.exec(db.dialect().beginRead);
        const QString companyId = requireCompany(db, named);
        const JournalAudit journal = readableJournal(db, named);
        for (const AuditRule& rule : bookRules())
            run(db, rule, report.problems);
        report.problems << journal.problems;
        report.skipped << journal.notes;
        if (options.settings) {
            for (const AuditRule& rule : deliveryChargeRules())
                run(db, rule, report.problems, &*options.settings, journal.judgedByEntry);
        } else {
            report.skipped << QStringLiteral("The delivery-charge rules were skipped: %1.")
                                  .arg(options.settingsMissing.isEmpty()
                                           ? QStringLiteral("the machine's settings were not given")
                                           : options.settingsMissing);
        }
        report.problems << storedPasswords(db, options.knownPasswords);
        checkApprovals(db, companyId, options, store, report);
        db.exec("ROLLBACK");
    } catch (const StorageError& e) {
        if (e.isBusy())
            throw badInput(QStringLiteral("The company file \"%1\" is locked by another program; "
                                          "check it again when that program has finished.")
                               .arg(named));
        if (e.kind() == StorageError::Kind::NotADatabase)
            throw badInput(QStringLiteral("The file \"%1\" is not a company file.").arg(named));
        throw badInput(QStringLiteral("The company file \"%1\" cannot be checked: %2")
                           .arg(named, e.message()));
    }
    return report;
}

QStringList checkCompanyFile(const QString& companyFile, const AuditOptions& options)
{
    return auditCompanyFile(companyFile, options).problems;
}

} // namespace Accpac
