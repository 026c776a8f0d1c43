#pragma once

#include <accpac/audit.h>
#include <accpac/finder.h>
#include <accpac/session.h>

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QPrinter;
class QWidget;

// The embedded implementation of the view interface: a site folder (system data and the
// list of companies) with one SQLite file per company.
namespace Accpac {

// The objects the program works with.
std::unique_ptr<AccpacSignon> createSignon();
std::unique_ptr<AccpacSession> createSession();
std::unique_ptr<AccpacFinder> createFinder();

// The Order Entry invoice printing screen, as the control registry creates it for the ProgID
// "ACCPACOE1400.ACCPACOE1400UICtrl": the invoice number range, the report file (a layout
// file), printer or PDF file, Print and Close. It works under the program's sign-on and
// prints every invoice of the range.
QWidget* createInvoicePrintScreen(QWidget* parent);

// The folder of the invoice layouts shipped with the program (the standard layout
// "standard-invoice.json"): share/tallymerge/reports beside the program's bin folder, in the
// build tree as when installed, else the installed data folder. Empty when none is found.
QString shippedLayoutFolder();

// The site folder every new sign-on uses: /var/lib/tallymerge/site unless set otherwise.
QString defaultSiteFolder();
QString siteFolder();
void setSiteFolder(const QString& folder);
// A site (or a company's store) on a database server is named by a libpq connection string
// ("host=... dbname=..." or "postgresql://..."); any other name is a folder (or a file).
bool isServerSite(const QString& site);
// The site as logs and messages show it: a connection string without its password.
QString shownSite(const QString& site);
// Why a workstation may not use `site` as its site: a server site whose connection string
// names a login that may do more than list the companies (a superuser, an owner, a user's
// role), whose password every workstation would then hold. One sentence; empty for a folder,
// for the site's sign-on login, and for a server that cannot be reached now (the sign-on
// tells that).
QString workstationSiteProblem(const QString& site);
// The psqlODBC data source attributes that reach the company a connection string names
// (Admin::companyDatabaseFile of a server site): server, port, database, user name and the
// company's schema as the search path. The password stays out: it is given at each login.
QList<std::pair<QString, QString>> serverOdbcAttributes(const QString& companyStore);
// The unixODBC name of the psqlODBC driver those data sources use.
inline const QString ServerOdbcDriver = QStringLiteral("PostgreSQL Unicode");
// The login of the live sign-on when its site is on a database server: the user's role and
// the password typed at the sign-on (in capitals, as the server keeps it; in memory only).
// Nothing for a site in a folder or without a sign-on. The grid's ODBC connection logs in
// with it.
struct ServerLogin
{
    QString role;
    QString password;
};
std::optional<ServerLogin> signedOnServerLogin();
// The company store of the live sign-on, as read through it: the company's file, or on a
// server "schema company_saminc of database books on host db1 port 5432". Empty without one.
QString signedOnCompanyStore();

// Schema versions. Every company file and the site's system file carry the version of their
// tables. Opening an older file (a sign-on, the admin and sample tools) brings it up to date
// in one transaction, after a copy made next to it ("<file>.schema<old version>-<date>.bak");
// a file newer than this program is refused and never written. Refusals are ComErrors of
// one sentence that names the file and says that it was left unchanged.
enum class SiteFileKind
{
    Company,
    System
};
// The version this program writes.
int programSchemaVersion(SiteFileKind kind);
// The file's version, read without writing the file. Throws ComError when the file is
// missing, cannot be read as such a file, or is newer than this program.
int readSchemaVersion(const QString& file, SiteFileKind kind);
// What an upgrade did: nothing when fromVersion equals toVersion.
struct SchemaUpgrade
{
    QString file;
    int fromVersion = 0;
    int toVersion = 0;
    QString backupFile;
    QStringList changes; // one line per step made
    QString refusal;     // why the file was left as it was (upgradeSite only)
};
// One sentence for the user: the refusal, "up to date", or the versions, the copy and the
// changes.
QString describeUpgrade(const SchemaUpgrade& upgrade);
// Brings the file up to date (nothing to do for a current one). Throws ComError when the
// file is refused or the upgrade fails; the file is then as it was.
SchemaUpgrade upgradeFile(const QString& file, SiteFileKind kind);

// Setting up a site (the sample generator and tests use these).
namespace Admin {

enum class HashStrength
{
    Interactive,
    Minimal
};

struct CompanySetup
{
    QString id;
    QString name;
    QString homeCurrency;
    // Application ID and version ("AS" "56A", "AR" "56A", "OE" "56A", ...).
    QList<std::pair<QString, QString>> applications;
};

struct CurrencySetup
{
    QString code;
    QString description;
    QString symbol;
    int decimals = 2;
    int symbolPosition = 2;
    int negativeDisplay = 2;
    int thousandSeparator = ',';
    int decimalSeparator = '.';
};

// Creates the folder and its system database; an existing one is brought up to date. On a
// database server, `signOnSite` (when given) is the workstations' connection string, whose
// login becomes the site's sign-on login (refused when it may do more than list companies).
void createSite(const QString& folder, const QString& signOnSite = {});
// Creates the company's database file with every table of the data dictionary and lists
// the company in the site. Throws ComError when it exists already.
void createCompany(const QString& folder, const CompanySetup& company);
void addCurrency(const QString& folder, const QString& companyId, const CurrencySetup& currency);
// Users: IDs of 1 to 8 characters, letters A to Z, digits and _ only, beginning with a
// letter, stored upper-case (what is typed is trimmed and upper-cased first); passwords
// only as verifiers, which do not depend on case.
// The sentence that refuses a user ID, empty when the ID follows the rule.
QString userIdProblem(const QString& userId);
// Throw ComError with one sentence: an ID against the rule or one that exists already; a
// user that does not exist; a user, company, program or profile of a grant that does not
// exist. The admin tool asks these before it prompts or writes.
void checkNewUser(const QString& folder, const QString& userId);
void checkUser(const QString& folder, const QString& userId);
void checkAuthorisation(const QString& folder, const QString& userId, const QString& companyId,
                        const QString& programId, const QString& profileId);
// Throws ComError for an ID against the rule or one that exists already.
void addUser(const QString& folder, const QString& userId, const QString& userName,
             const QString& password, HashStrength strength = HashStrength::Interactive);
// Replaces the user's password verifier. Throws ComError for an unknown user.
void setPassword(const QString& folder, const QString& userId, const QString& password);
// Disables or locks out the user, or enables it again; on a server its role's login too.
// ADMIN, the site's administrator, is never disabled or locked out.
void setUserFlags(const QString& folder, const QString& userId, bool disabled, bool lockedOut);
void addAuthorisation(const QString& folder, const QString& userId, const QString& companyId,
                      const QString& programId, const QString& profileId);
// Takes the profile of the program in the company from the user; true when the user had it.
// On a server the user's role leaves the company's group with the last profile there.
bool revokeAuthorisation(const QString& folder, const QString& userId, const QString& companyId,
                         const QString& programId, const QString& profileId);
// The user, the user's rights and, on a server, the user's role. ADMIN is never deleted.
void deleteUser(const QString& folder, const QString& userId);
// A resource of a profile; a new site has the standard ones already.
void addProfileResource(const QString& folder, const QString& programId, const QString& profileId,
                        const QString& resourceId);
// While on, the session's company file commits without waiting for the disk: for making
// sample data in bulk only, never for a company's real work. Switching it off writes
// everything made so far to disk and restores full durability.
void setBulkLoading(AccpacSession& session, bool on);
QStringList companyIds(const QString& folder);
// Brings the site's system file and every company file of the site up to date, in that
// order. A file refused carries the sentence in `refusal` and the others go on; a missing
// or unreadable site throws ComError.
QList<SchemaUpgrade> upgradeSite(const QString& folder);
// The company's file; for a site on a database server, the connection string that reaches
// the company's schema. Only reads the site's system file (a file of whatever schema version).
QString companyDatabaseFile(const QString& folder, const QString& companyId);
// The journal of the program's decisions in the company, oldest first, from the day `from`
// (UTC; every entry when invalid) on: one line per entry, "NUMBER TIME USER KIND BODY".
// Throws ComError with one sentence when the journal cannot be read.
QStringList journalListing(const QString& folder, const QString& companyId, const QDate& from);
// Copies company `companyId` of an SQLite site (its folder) or of a company file into the
// site on a database server named by `serverSite` (which must exist and not list the
// company yet): every table, in one transaction, so that the server holds all of it or none.
// Returns each table with the rows copied. Throws ComError with one sentence.
QList<std::pair<QString, int>> copyCompanyToServer(const QString& source, const QString& companyId,
                                                   const QString& serverSite);

} // namespace Admin

// What tests and benchmarks use in place of the dialogs.
namespace Testing {

// Signs the session on without the dialog; false (session unopened, an entry in Errors)
// when the company, the user or the password is refused.
bool signOn(AccpacSession& session, const QString& siteFolder, const QString& companyId,
            const QString& userId, const QString& password);

// While set, AccpacSignon::SignOn uses these answers instead of showing its dialog;
// std::nullopt in the optional means "the user cancelled".
struct SignonAnswer
{
    QString companyId;
    QString userId;
    QString password;
};
void setSignonAnswer(std::optional<std::optional<SignonAnswer>> answer);
// The same, spelled out: answer with these values / answer with Cancel / show the dialog.
void scriptSignon(const SignonAnswer& answer);
void scriptSignonCancel();
void clearSignonScript();

// While set, AccpacFinder::Show hands the finder's rows (each row the values it would
// return) to picker instead of showing its dialog; picker returns the row to pick or -1.
using FinderPicker = std::function<int(const QList<QVariantList>& rows)>;
void setFinderPicker(FinderPicker picker);

// While set, the printing screen's print dialog hands the printer to answer instead of
// showing itself; answer sets up the printer as a user would and returns true for Print.
using PrintDialogAnswer = std::function<bool(QPrinter& printer)>;
void setPrintDialogAnswer(PrintDialogAnswer answer);
// While set, the printing screen's messages go to recorder instead of a message box.
using MessageRecorder = std::function<void(const QString& text)>;
void setScreenMessageRecorder(MessageRecorder recorder);
// While set, the printing screen's yes-or-no questions go to answer (true for yes) instead
// of a message box.
using QuestionAnswer = std::function<bool(const QString& question)>;
void setScreenQuestionAnswer(QuestionAnswer answer);

// The session calls a test can make fail.
enum class SessionCall
{
    Init,
    SignOn,
    Configure,
    OpenDBLink
};
struct SessionFault
{
    SessionCall call;
    std::int32_t number;
    QString message = QStringLiteral("Injected failure.");
    // An entry of error priority in the session's Errors, as the component leaves one.
    bool errorEntry = true;
};
// While set, the next such call (of any session) throws a ComError of the fault's number
// and text instead of doing its work; the fault then clears itself. Off unless a test sets
// it; clearSessionFault forgets one that has not fired.
void failSessionCall(const SessionFault& fault);
void clearSessionFault();

// The calls made on the views of a session, in order.
struct ViewCall
{
    QString viewId;
    QString operation;
    QStringList arguments;
    bool operator==(const ViewCall&) const = default;
};
void setCallLogEnabled(AccpacSession& session, bool enabled);
QList<ViewCall> callLog(AccpacSession& session);
void clearCallLog(AccpacSession& session);

// The clock the sign-on's delays after failed tries are measured with (an empty function:
// the steady clock), and forgetting every failed try.
void setSignonClock(std::function<std::chrono::steady_clock::time_point()> clock);
void clearSignonFailures();
// How many password verifiers have been evaluated in this process.
int passwordVerifications();

// A company's store (its file, or the connection string of a company of a server site, as
// Admin::companyDatabaseFile gives them): the rows of a query, each with its columns joined
// by "|" (a binary number as its shortest exact text), the columns of a table (in capitals),
// and a statement run there. Throw ComError with the storage's message.
QStringList queryStore(const QString& location, const QString& sql);
QStringList storeColumns(const QString& location, const QString& table);
void executeOnStore(const QString& location, const QString& sql);

// Fault injection: the company-file write after the next `writes` ones of this session
// fails once as an I/O error (-1: off). writesCounted gives the writes made so far.
void failCompanyWriteAfter(AccpacSession& session, int writes);
int companyWritesCounted(AccpacSession& session);
// How many browses of this session were answered from rows read ahead (never on SQLite).
int lookUpsReadAhead(AccpacSession& session);

// While set, every statement that changes a store on a database server is told to the
// observer (its SQL text) right after the server ran it, inside its transaction: a test
// program can stop or end itself there, as a kill or a hang would. SQLite files tell their
// writes through SQLite's own update hook.
using WriteObserver = std::function<void(const QByteArray& sql)>;
void setServerWriteObserver(WriteObserver observer);

} // namespace Testing
} // namespace Accpac
