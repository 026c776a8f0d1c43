// Schema versions of the site's files, and the upgrade of an older file (see
// accpac/standin.h).
#include "upgrade.h"

#include "schema.h"
#include "store.h"

#include <system/comerror.h>

#include <QDate>
#include <QDir>
#include <QFileInfo>

namespace Accpac {

namespace {

Store storeOf(SiteFileKind kind)
{
    return kind == SiteFileKind::Company ? Store::Company : Store::System;
}

QString fileNoun(Store store, const QString& file)
{
    const QString path = QDir::toNativeSeparators(file);
    return store == Store::Company ? QStringLiteral("The company file \"%1\"").arg(path)
                                   : QStringLiteral("The site's system file \"%1\"").arg(path);
}

// Why the storage failed, in words a user can act on.
QString reason(const StorageError& e)
{
    using Kind = StorageError::Kind;
    switch (e.kind()) {
    case Kind::NotADatabase:
        return QStringLiteral("it is not a database of this program (%1)").arg(e.message());
    case Kind::Damaged:
        return QStringLiteral("it is damaged (%1); restore it from a backup").arg(e.message());
    case Kind::ReadOnly:
        return QStringLiteral("it or its folder is read-only");
    case Kind::DiskFull:
        return QStringLiteral("the disk is full; free some space and try again");
    case Kind::Busy:
        return QStringLiteral("another program is using it; try again when it is done");
    default:
        return e.message();
    }
}

[[noreturn]] void refuse(const QString& sentence)
{
    throw ComError(ComErrorNumber::E_Fail, sentence);
}

// The version, read through a connection that cannot write; a newer file is refused.
int readVersion(const QString& file, Store store)
{
    if (!QFileInfo::exists(file))
        refuse(QStringLiteral("%1 does not exist.").arg(fileNoun(store, file)));
    int version = 0;
    try {
        version = schemaVersion(*openFile(file, StoreAccess::ReadOnly), store);
    } catch (const StorageError& e) {
        // Reading a WAL file needs its shared-memory file beside it, which a read-only
        // folder cannot hold.
        const bool folderReadOnly = e.kind() == StorageError::Kind::Refused &&
                                    !QFileInfo(QFileInfo(file).path()).isWritable();
        refuse(QStringLiteral("%1 cannot be read: %2; it was left unchanged.")
                   .arg(fileNoun(store, file),
                        reason(folderReadOnly
                                   ? StorageError(StorageError::Kind::ReadOnly, 0, e.message())
                                   : e)));
    }
    const int program = programSchemaVersion(store);
    if (version > program)
        refuse(QStringLiteral("%1 has schema version %2, which a newer Tallymerge made (this one "
                              "knows up to version %3); it was left unchanged: use the newer "
                              "program.")
                   .arg(fileNoun(store, file), QString::number(version), QString::number(program)));
    return version;
}

// A free name next to the file that tells the date and the version it keeps.
QString backupName(const QString& file, int version)
{
    const QString stem =
        QStringLiteral("%1.schema%2-%3")
            .arg(file, QString::number(version), QDate::currentDate().toString(Qt::ISODate));
    QString name = stem + QStringLiteral(".bak");
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = QStringLiteral("%1-%2.bak").arg(stem, QString::number(n));
    return name;
}

std::vector<const SchemaStep*> stepsAfter(Store store, int fromVersion)
{
    std::vector<const SchemaStep*> steps;
    for (const SchemaStep& step : schemaSteps())
        if (step.store == store && step.version > fromVersion)
            steps.push_back(&step);
    return steps;
}

void checkObstacles(Database& db, Store store, int fromVersion, const QString& noun)
{
    for (const SchemaStep* step : stepsAfter(store, fromVersion))
        if (const QString obstacle = step->obstacle(db); !obstacle.isEmpty())
            refuse(QStringLiteral("%1 cannot be brought up to date from schema version %2 to %3: "
                                  "%4; it was left unchanged: correct the books first.")
                       .arg(noun, QString::number(fromVersion),
                            QString::number(programSchemaVersion(store)), obstacle));
}

// Under the write lock: the version again (another program may have upgraded meanwhile),
// the obstacles of every step, a check of every page, the backup, then the steps and the
// new version in the same transaction.
void upgrade(Database& db, FileStore& file, Store store, SchemaUpgrade& done)
{
    const int program = programSchemaVersion(store);
    Transaction tx(db);
    done.fromVersion = schemaVersion(db, store);
    done.toVersion = done.fromVersion;
    if (done.fromVersion >= program)
        return;
    checkObstacles(db, store, done.fromVersion, fileNoun(store, file.file()));
    if (const QString damage = file.damage(); !damage.isEmpty())
        throw StorageError(StorageError::Kind::Damaged, 0, damage);
    done.backupFile = backupName(file.file(), done.fromVersion);
    file.backupTo(done.backupFile);
    try {
        done.changes = applySchemaSteps(db, store, done.fromVersion, fileNoun(store, file.file()));
        tx.commit();
    } catch (...) {
        // The file keeps its old state; so does the disk.
        QFile::remove(done.backupFile);
        done.backupFile.clear();
        throw;
    }
    done.toVersion = program;
}

} // namespace

QStringList applySchemaSteps(Database& db, Store store, int fromVersion, const QString& noun)
{
    checkObstacles(db, store, fromVersion, noun);
    QStringList changes;
    for (const SchemaStep* step : stepsAfter(store, fromVersion)) {
        for (const QByteArray& sql : step->sql)
            db.exec(sql);
        if (step->migrate)
            step->migrate(db);
        changes << step->change;
    }
    setSchemaVersion(db, programSchemaVersion(store));
    return changes;
}

std::unique_ptr<Database> openCurrent(const QString& file, Store store, SchemaUpgrade* done)
{
    SchemaUpgrade result;
    result.file = file;
    result.fromVersion = result.toVersion = readVersion(file, store);
    const int program = programSchemaVersion(store);
    std::unique_ptr<Database> db;
    try {
        if (result.fromVersion < program &&
            (!QFileInfo(file).isWritable() || !QFileInfo(QFileInfo(file).path()).isWritable()))
            throw StorageError(StorageError::Kind::ReadOnly, 0, QString());
        db = openFile(file, StoreAccess::ReadWrite);
        if (result.fromVersion < program)
            upgrade(*db, *db->fileStore(), store, result);
    } catch (const StorageError& e) {
        refuse(QStringLiteral("%1 cannot be brought up to date from schema version %2 to %3: "
                              "%4; it was left unchanged.")
                   .arg(fileNoun(store, file), QString::number(result.fromVersion),
                        QString::number(program), reason(e)));
    }
    if (done)
        *done = result;
    return db;
}

int programSchemaVersion(SiteFileKind kind)
{
    return programSchemaVersion(storeOf(kind));
}

int readSchemaVersion(const QString& file, SiteFileKind kind)
{
    return readVersion(file, storeOf(kind));
}

QString describeUpgrade(const SchemaUpgrade& upgrade)
{
    const QString file = QDir::toNativeSeparators(upgrade.file);
    if (!upgrade.refusal.isEmpty())
        return upgrade.refusal;
    if (upgrade.fromVersion == upgrade.toVersion) {
        // Another program (a sign-on) may have upgraded the file: its backup is named too.
        const QFileInfo info(upgrade.file);
        const QFileInfoList backups =
            QDir(info.path())
                .entryInfoList({info.fileName() + QStringLiteral(".schema*.bak")}, QDir::Files,
                               QDir::Time);
        if (backups.isEmpty())
            return QStringLiteral("%1: schema version %2, up to date.")
                .arg(file, QString::number(upgrade.toVersion));
        return QStringLiteral("%1: schema version %2, up to date (the file before its last "
                              "upgrade is kept as %3).")
            .arg(file, QString::number(upgrade.toVersion),
                 QDir::toNativeSeparators(backups.first().filePath()));
    }
    if (upgrade.backupFile.isEmpty())
        return QStringLiteral("%1: schema version %2 brought to %3: %4.")
            .arg(file, QString::number(upgrade.fromVersion), QString::number(upgrade.toVersion),
                 upgrade.changes.join(u"; "));
    return QStringLiteral("%1: schema version %2 brought to %3 (the old file is kept as %4): %5.")
        .arg(file, QString::number(upgrade.fromVersion), QString::number(upgrade.toVersion),
             QDir::toNativeSeparators(upgrade.backupFile), upgrade.changes.join(u"; "));
}

SchemaUpgrade upgradeFile(const QString& file, SiteFileKind kind)
{
    SchemaUpgrade done;
    openCurrent(file, storeOf(kind), &done);
    return done;
}

} // namespace Accpac
