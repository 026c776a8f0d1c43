// Where a print goes: a PDF target that is a link, a folder, on a full disk or in a folder
// that cannot be written gets one clear message and no file, through the screen's own PDF
// destination and through the print dialog's "print to file"; names and range ends show as
// typed in every message.
#include "printtesting.h"

#include <accpac/standin.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray contentOf(const QString& file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

void writeFile(const QString& file, const QByteArray& content)
{
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(content);
}

struct stat statOf(const QString& file)
{
    struct stat st = {};
    EXPECT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0) << file.toStdString();
    return st;
}

// Prints the range through the print dialog, which answers "print to file" with `file`.
void printThroughTheDialog(PrintFixture& fixture, const QString& number, const QString& file)
{
    Accpac::Testing::setPrintDialogAnswer([file](QPrinter& printer) {
        printer.setOutputFileName(file);
        return true;
    });
    fixture.screenControl<QComboBox>(QStringLiteral("cboDestination"))->setCurrentIndex(0);
    fixture.screenControl<QWidget>(QStringLiteral("afeOEINVHsortfrom"))
        ->setProperty("Value", number);
    fixture.screenControl<QWidget>(QStringLiteral("afeOEINVHsortto"))->setProperty("Value", number);
    QTest::mouseClick(fixture.screenControl<QPushButton>(QStringLiteral("btnPrint")),
                      Qt::LeftButton);
    Accpac::Testing::setPrintDialogAnswer({});
}

// The one message of the last print, which printed nothing; the screen prints again.
void expectRefused(PrintFixture& fixture, const QString& message)
{
    ASSERT_EQ(fixture.messages.size(), 1);
    EXPECT_EQ(fixture.messages.first(), message);
    fixture.messages.clear();
    EXPECT_EQ(fixture.screenControl<QLabel>(QStringLiteral("lblStatus"))->text(), QString());
    EXPECT_TRUE(fixture.screenControl<QPushButton>(QStringLiteral("btnPrint"))->isEnabled());
}

} // namespace

// A symbolic link at the target (planted to make the print overwrite another file) and a
// folder are refused; the link and the file it leads to are left as they were. A name full
// of "%1", "&" and markup shows as typed.
TEST(PrintTargets, ALinkOrAFolderIsRefusedAndLeftAlone)
{
    PrintFixture fixture;
    const QString number = fixture.invoice({QStringLiteral("ORD1")});
    QTemporaryDir out;
    const QString victim = out.filePath(QStringLiteral("precious.txt"));
    writeFile(victim, "the user's own file");
    const QString link = out.filePath(QStringLiteral("invoices.pdf"));
    ASSERT_TRUE(QFile::link(victim, link));
    const QString linkMessage = QStringLiteral("The PDF file \"%1\" is a symbolic link, which is "
                                               "never written through. Nothing was printed; "
                                               "choose another name.")
                                    .arg(link);
    fixture.printToPdf(number, number, link);
    expectRefused(fixture, linkMessage);
    printThroughTheDialog(fixture, number, link);
    expectRefused(fixture, linkMessage);
    EXPECT_EQ(contentOf(victim), QByteArray("the user's own file"));
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), victim);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);

    const QString folder = out.filePath(QStringLiteral("folder.pdf"));
    ASSERT_TRUE(QDir().mkdir(folder));
    fixture.printToPdf(number, number, folder);
    expectRefused(fixture, QStringLiteral("The PDF file \"%1\" cannot be written: it is a folder. "
                                          "Nothing was printed.")
                               .arg(folder));
    EXPECT_TRUE(QDir(folder).isEmpty());

    const QString odd = out.filePath(QStringLiteral("%1 & %2 <b>Rechnung \u00c4.pdf"));
    fixture.printToPdf(number, number, odd);
    EXPECT_EQ(fixture.messages, QStringList());
    const auto* status = fixture.screenControl<QLabel>(QStringLiteral("lblStatus"));
    EXPECT_EQ(status->text(), QStringLiteral("1 invoice printed to %1.").arg(odd));
    EXPECT_EQ(status->textFormat(), Qt::PlainText);
    EXPECT_TRUE(pdfText(odd).contains(number));
    // Printed over an existing file, the new PDF replaces it whole.
    writeFile(odd, "old");
    printThroughTheDialog(fixture, number, odd);
    EXPECT_EQ(fixture.messages, QStringList());
    EXPECT_TRUE(pdfText(odd).contains(number));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 3);
}

// A full disk (a tmpfs of one page) and a read-only folder: the print says it failed, leaves
// no file (not even a partial or temporary one), and the screen prints again elsewhere.
TEST(PrintTargets, AFullDiskOrAReadOnlyFolderLeavesNoFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root; this test runs as root in the suite";
    PrintFixture fixture;
    const QString number = fixture.invoice({QStringLiteral("ORD4")});
    QTemporaryDir mountPoint;
    const QByteArray where = QFile::encodeName(mountPoint.path());
    ASSERT_EQ(::mount("tmpfs", where.constData(), "tmpfs", 0, "size=4k,mode=0777"), 0)
        << qt_error_string(errno).toStdString();
    const auto unmount = qScopeGuard([&] { ::umount2(where.constData(), MNT_DETACH); });
    const QString pdf = mountPoint.filePath(QStringLiteral("invoices.pdf"));
    const QString full = QStringLiteral("The PDF file \"%1\" cannot be written: No space left on "
                                        "device. Nothing was printed.")
                             .arg(pdf);
    fixture.printToPdf(number, number, pdf);
    expectRefused(fixture, full);
    EXPECT_TRUE(QDir(mountPoint.path()).isEmpty());
    // The print dialog's "print to file" is checked the same way.
    printThroughTheDialog(fixture, number, pdf);
    expectRefused(fixture, full);
    EXPECT_TRUE(QDir(mountPoint.path()).isEmpty());

    ASSERT_EQ(::mount("tmpfs", where.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=4k"), 0)
        << qt_error_string(errno).toStdString();
    fixture.printToPdf(number, number, pdf);
    ASSERT_EQ(fixture.messages.size(), 1);
    EXPECT_TRUE(fixture.messages.first().startsWith(
        QStringLiteral("The PDF file \"%1\" cannot be written: ").arg(pdf)))
        << fixture.messages.first().toStdString();
    fixture.messages.clear();
    EXPECT_TRUE(QDir(mountPoint.path()).isEmpty());

    QTemporaryDir elsewhere;
    fixture.printToPdf(number, number, elsewhere.filePath(QStringLiteral("invoices.pdf")));
    EXPECT_EQ(fixture.messages, QStringList());
    EXPECT_TRUE(pdfText(elsewhere.filePath(QStringLiteral("invoices.pdf"))).contains(number));
}

// Range ends that are no invoice numbers are quoted exactly as typed: "%1", "%2", "&",
// quotes, 23 characters, letters beyond ASCII.
TEST(PrintTargets, RangeEndsAreQuotedAsTyped)
{
    PrintFixture fixture;
    const QString number = fixture.invoice({QStringLiteral("ORD3")});
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("invoices.pdf"));
    for (const QString& end : {QStringLiteral("IN%1"), QStringLiteral("IN%2"),
                               QStringLiteral("%1%2"), QStringLiteral("A&B"),
                               QStringLiteral("IN\"1'"), QStringLiteral("12345678901234567890123"),
                               QStringLiteral("IN\u00c41"), QStringLiteral("<B>IN1</B>")}) {
        fixture.printToPdf(number, end, pdf);
        expectRefused(fixture, QStringLiteral("\"") + end +
                                   QStringLiteral("\" is not an invoice number. An invoice number "
                                                  "has up to 22 letters, digits and the "
                                                  "characters - . / _, and starts with a letter "
                                                  "or a digit."));
    }
    EXPECT_TRUE(QDir(out.path()).isEmpty());
}

// Replacing a file keeps its mode and group; a read-only file is replaced only when the user
// says yes, and keeps its mode; another user's file is never replaced.
TEST(PrintTargets, AReplacedFileKeepsItsModeAndOnlyTheOwnersIsReplaced)
{
    PrintFixture fixture;
    const QString number = fixture.invoice({QStringLiteral("ORD1")});
    QTemporaryDir out;
    const QString secret = out.filePath(QStringLiteral("secret.pdf"));
    writeFile(secret, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(secret).constData(), 0600), 0);
    fixture.printToPdf(number, number, secret);
    EXPECT_EQ(fixture.messages, QStringList());
    EXPECT_TRUE(pdfText(secret).contains(number));
    EXPECT_EQ(statOf(secret).st_mode & 07777, 0600u);

    const QString readOnly = out.filePath(QStringLiteral("read-only.pdf"));
    writeFile(readOnly, "kept");
    ASSERT_EQ(::chmod(QFile::encodeName(readOnly).constData(), 0444), 0);
    QStringList questions;
    bool yes = false;
    Accpac::Testing::setScreenQuestionAnswer([&](const QString& question) {
        questions << question;
        return yes;
    });
    const QString question =
        QStringLiteral("The PDF file \"%1\" is read-only. Replace it with the invoices?")
            .arg(readOnly);
    fixture.printToPdf(number, number, readOnly);
    EXPECT_EQ(questions, QStringList(question));
    // The user said no: nothing printed, and nothing more to say.
    EXPECT_EQ(fixture.messages, QStringList());
    EXPECT_EQ(fixture.screenControl<QLabel>(QStringLiteral("lblStatus"))->text(), QString());
    EXPECT_EQ(contentOf(readOnly), QByteArray("kept"));
    yes = true;
    printThroughTheDialog(fixture, number, readOnly);
    EXPECT_EQ(questions, QStringList({question, question}));
    EXPECT_EQ(fixture.messages, QStringList());
    EXPECT_TRUE(pdfText(readOnly).contains(number));
    EXPECT_EQ(statOf(readOnly).st_mode & 07777, 0444u);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);

    if (::geteuid() != 0)
        GTEST_SKIP() << "files of another owner and group need root; this part runs as root in "
                        "the suite";
    // Another group's file keeps its group (and so the group's rights stay with that group).
    const QString shared = out.filePath(QStringLiteral("shared.pdf"));
    writeFile(shared, "old");
    ASSERT_EQ(::chown(QFile::encodeName(shared).constData(), 0, 65534), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0640), 0);
    fixture.printToPdf(number, number, shared);
    EXPECT_EQ(fixture.messages, QStringList());
    EXPECT_EQ(statOf(shared).st_gid, 65534u);
    EXPECT_EQ(statOf(shared).st_mode & 07777, 0640u);
    // Another user's file in a folder the printing user may write: refused, left as it was.
    const QString foreign = out.filePath(QStringLiteral("foreign.pdf"));
    writeFile(foreign, "theirs");
    ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);
    fixture.printToPdf(number, number, foreign);
    ASSERT_EQ(fixture.messages.size(), 1);
    EXPECT_TRUE(fixture.messages.first().startsWith(
        QStringLiteral("The PDF file \"%1\" belongs to the user ").arg(foreign)))
        << fixture.messages.first().toStdString();
    EXPECT_TRUE(fixture.messages.first().endsWith(
        QStringLiteral(", not to you, and is left as it is. Nothing was printed; choose another "
                       "name.")));
    fixture.messages.clear();
    EXPECT_EQ(contentOf(foreign), QByteArray("theirs"));
    EXPECT_EQ(statOf(foreign).st_uid, 65534u);
}

// Names as a clerk types them: a 254-byte name prints; a name without a folder goes to the
// clerk's documents folder and "~" to the home folder, and the status gives the whole path.
TEST(PrintTargets, LongRelativeAndHomeNamesPrintWhereTheClerkExpects)
{
    PrintFixture fixture;
    const QString number = fixture.invoice({QStringLiteral("ORD3")});
    QTemporaryDir out;
    const auto* status = fixture.screenControl<QLabel>(QStringLiteral("lblStatus"));
    for (const QString& name : {QString(250, u'a') + QStringLiteral(".pdf"),
                                QString(125, u'\u00c4') + QStringLiteral(".pdf")}) {
        ASSERT_EQ(QFile::encodeName(name).size(), 254);
        const QString pdf = out.filePath(name);
        fixture.printToPdf(number, number, pdf);
        EXPECT_EQ(fixture.messages, QStringList());
        fixture.messages.clear();
        EXPECT_TRUE(pdfText(pdf).contains(number));
        EXPECT_EQ(status->text(), QStringLiteral("1 invoice printed to %1.").arg(pdf));
    }

    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", oldHome);
        oldConfig.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", oldConfig);
    });
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_TRUE(documents.startsWith(home.path())) << documents.toStdString();
    const struct
    {
        QString typed;
        QString file;
    } names[] = {
        {QStringLiteral("relative.pdf"), QDir(documents).filePath(QStringLiteral("relative.pdf"))},
        {QStringLiteral("~/home.pdf"), home.filePath(QStringLiteral("home.pdf"))}};
    for (const auto& name : names) {
        fixture.printToPdf(number, number, name.typed);
        EXPECT_EQ(fixture.messages, QStringList());
        EXPECT_TRUE(pdfText(name.file).contains(number)) << name.file.toStdString();
        EXPECT_EQ(status->text(), QStringLiteral("1 invoice printed to %1.").arg(name.file));
    }
    EXPECT_FALSE(QFile::exists(QStringLiteral("relative.pdf")));
    EXPECT_FALSE(QFile::exists(QStringLiteral("~/home.pdf")));
    // The print dialog's "print to file" takes names the same way.
    printThroughTheDialog(fixture, number, QStringLiteral("dialog.pdf"));
    EXPECT_EQ(fixture.messages, QStringList());
    EXPECT_TRUE(pdfText(QDir(documents).filePath(QStringLiteral("dialog.pdf"))).contains(number));
}
