#include "printscreen.h"

#include "fieldedit.h"
#include "invoicelayout.h"
#include "invoicepainter.h"
#include "journal.h"
#include "pdffile.h"
#include "printedinvoice.h"
#include "sessionimpl.h"
#include "standinstate.h"

#include <system/comerror.h>

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>

namespace Accpac {

namespace {

const QString StandardReport = QStringLiteral("standard-invoice.json");
constexpr int InvoiceNumberLength = 22; // the size of INVNUMBER

// Twips from pixels at the screen's resolution, as a hosted control reports its sizes.
int twips(int pixels, const QWidget* widget)
{
    return int(pixels * 1440.0 / widget->logicalDpiY() + 0.5);
}

// The hourglass while the screen reads and prints.
struct WaitCursor
{
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The PDF file a typed name stands for: "~" is the clerk's home folder, and a name without a
// folder goes to the clerk's documents folder (made when it is missing), never to the
// program's working folder.
QString pdfTarget(const QString& typed)
{
    const QString name = QDir::fromNativeSeparators(typed.trimmed());
    if (name == u'~' || name.startsWith(QStringLiteral("~/")))
        return QDir::cleanPath(QDir::homePath() + name.mid(1));
    if (QDir::isAbsolutePath(name))
        return QDir::cleanPath(name);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QDir().mkpath(documents);
    return QDir::cleanPath(QDir(documents).filePath(name));
}

bool isInvoiceNumber(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Z0-9][A-Z0-9./_-]*$"));
    return text.size() <= InvoiceNumberLength && pattern.match(text).hasMatch();
}

} // namespace

InvoicePrintScreen::InvoicePrintScreen(QWidget* parent)
    : QWidget(parent), m_from(new AccpacFieldEdit(QStringLiteral("afeOEINVHsortfrom"), this)),
      m_to(new AccpacFieldEdit(QStringLiteral("afeOEINVHsortto"), this)),
      m_reportFile(new QLineEdit(StandardReport, this)), m_destination(new QComboBox(this)),
      m_pdfFile(new QLineEdit(this)), m_browse(new QPushButton(tr("&Browse..."), this)),
      m_status(new QLabel(this)), m_print(new QPushButton(tr("&Print"), this)),
      m_close(new QPushButton(tr("&Close"), this))
{
    m_reportFile->setObjectName(QStringLiteral("txtRptFile"));
    m_destination->setObjectName(QStringLiteral("cboDestination"));
    m_destination->addItems({tr("Printer"), tr("PDF File")});
    m_pdfFile->setObjectName(QStringLiteral("txtPdfFile"));
    m_pdfFile->setPlaceholderText(tr("Folder and name of the PDF file"));
    m_browse->setObjectName(QStringLiteral("btnBrowse"));
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setWordWrap(true);
    m_status->setTextFormat(Qt::PlainText);
    m_print->setObjectName(QStringLiteral("btnPrint"));
    m_close->setObjectName(QStringLiteral("btnClose"));

    auto* grid = new QGridLayout;
    int row = 0;
    auto addRow = [&](const QString& caption, QWidget* field, QWidget* extra = nullptr) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1, 1, extra ? 1 : 2);
        if (extra)
            grid->addWidget(extra, row, 2);
        ++row;
    };
    addRow(tr("&From Invoice Number"), m_from);
    addRow(tr("&To Invoice Number"), m_to);
    addRow(tr("&Report File"), m_reportFile);
    addRow(tr("&Destination"), m_destination);
    addRow(tr("PDF F&ile"), m_pdfFile, m_browse);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_print);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(m_from, &AccpacFieldEdit::finderRequested, this, [this] { chooseInvoice(m_from); });
    connect(m_to, &AccpacFieldEdit::finderRequested, this, [this] { chooseInvoice(m_to); });
    connect(m_destination, &QComboBox::currentIndexChanged, this,
            &InvoicePrintScreen::showDestination);
    connect(m_browse, &QPushButton::clicked, this, &InvoicePrintScreen::choosePdfFile);
    connect(m_print, &QPushButton::clicked, this, &InvoicePrintScreen::print);
    connect(m_close, &QPushButton::clicked, this, &InvoicePrintScreen::OnUIAppClosed);
    showDestination();
    m_print->setDefault(true);
    resize(qMax(sizeHint().width(), 480), qMax(sizeHint().height(), 240));
    // The screen starts once its host has placed it.
    QTimer::singleShot(0, this, &InvoicePrintScreen::open);
}

QString InvoicePrintScreen::UIName() const
{
    return tr("Print Invoices");
}

QIcon InvoicePrintScreen::UIIcon() const
{
    return QIcon::fromTheme(QStringLiteral("document-print"),
                            style()->standardIcon(QStyle::SP_FileDialogDetailedView));
}

int InvoicePrintScreen::MinimumHeight() const
{
    return twips(minimumSizeHint().height(), this);
}

int InvoicePrintScreen::MinimumWidth() const
{
    return twips(qMax(minimumSizeHint().width(), 360), this);
}

QObject* InvoicePrintScreen::uiappcontrols(const QString& name)
{
    auto* control = findChild<QWidget*>(name);
    if (!control || name.isEmpty())
        return nullptr;
    if (auto* known = findChild<UIAppControl*>(name, Qt::FindDirectChildrenOnly))
        return known;
    auto* item = new UIAppControl(control, this);
    item->setObjectName(name);
    return item;
}

void InvoicePrintScreen::open()
{
    // The screen works under the program's sign-on; the range starts as the company's first
    // and last invoice.
    if (auto session = joinSignedOnSession()) {
        m_companyId = session->Company().ID();
        try {
            const auto [first, last] = invoiceNumberBounds(*session);
            m_from->setValue(first);
            m_to->setValue(last);
        } catch (const ComError& error) {
            m_status->setText(error.description());
        }
        session->Errors().Clear();
    } else {
        m_status->setText(tr("No company is signed on."));
    }
    emit OnUIAppOpened();
}

void InvoicePrintScreen::showDestination()
{
    const bool pdf = m_destination->currentIndex() == 1;
    m_pdfFile->setEnabled(pdf);
    m_browse->setEnabled(pdf);
}

void InvoicePrintScreen::choosePdfFile()
{
    const QString file = QFileDialog::getSaveFileName(this, tr("PDF File"), m_pdfFile->text(),
                                                      tr("PDF files (*.pdf)"));
    if (!file.isEmpty())
        m_pdfFile->setText(QDir::toNativeSeparators(file));
}

void InvoicePrintScreen::chooseInvoice(AccpacFieldEdit* field)
{
    auto session = joinSignedOnSession();
    if (!session) {
        message(tr("No company is signed on."));
        return;
    }
    try {
        auto finder = createFinder();
        finder->SetSession(session.get());
        finder->SetViewID(QStringLiteral("OE0420"));
        finder->SetFilter({});
        if (finder->Show(this) && !finder->Values().isEmpty())
            field->setValue(finder->Values().constFirst());
    } catch (const ComError& error) {
        session->Errors().Clear();
        message(error.description());
    }
}

QString InvoicePrintScreen::rangeProblem(const QString& first, const QString& last) const
{
    if (first.isEmpty() || last.isEmpty())
        return tr("Enter the first and the last invoice number to print.");
    for (const QString& end : {first, last}) {
        if (!isInvoiceNumber(end))
            return tr("\"%1\" is not an invoice number. An invoice number has up to %2 letters, "
                      "digits and the characters - . / _, and starts with a letter or a digit.")
                .arg(end, QString::number(InvoiceNumberLength));
    }
    if (QString::compare(first, last, Qt::CaseSensitive) > 0)
        return tr("The first invoice number (%1) comes after the last one (%2).").arg(first, last);
    return {};
}

void InvoicePrintScreen::print()
{
    if (m_printing)
        return;
    m_printing = true;
    m_print->setEnabled(false);
    m_status->clear();
    const auto done = qScopeGuard([this] {
        m_printing = false;
        m_print->setEnabled(true);
    });
    const QString first = m_from->Value().toString();
    const QString last = m_to->Value().toString();
    if (const QString problem = rangeProblem(first, last); !problem.isEmpty()) {
        message(problem);
        return;
    }
    auto session = joinSignedOnSession();
    if (!session) {
        message(tr("No company is signed on: the invoices cannot be read."));
        return;
    }
    const bool pdf = m_destination->currentIndex() == 1;
    if (pdf && m_pdfFile->text().trimmed().isEmpty()) {
        message(tr("Enter the PDF file to print to."));
        return;
    }
    const QString pdfFile = pdf ? pdfTarget(m_pdfFile->text()) : QString();
    InvoiceLayout layout;
    QList<PrintedInvoice> invoices;
    const AccpacCompany company = session->Company();
    try {
        WaitCursor busy;
        layout = loadLayout(findLayoutFile(m_reportFile->text(), siteFolder()));
        invoices = readInvoices(*session, first, last);
    } catch (const LayoutError& error) {
        message(error.message);
        return;
    } catch (const ComError& error) {
        session->Errors().Clear();
        message(tr("The invoices cannot be read: %1").arg(error.description()));
        return;
    }
    if (invoices.isEmpty()) {
        message(tr("Company %1 has no invoice numbered from %2 to %3. Nothing was printed.")
                    .arg(company.ID(), first, last));
        return;
    }
    QString printedTo = pdfFile;
    const bool printed = pdf ? printToPdf(pdfFile, layout.page, layout, company.Name(), invoices)
                             : printToPrinter(layout, company.Name(), invoices, printedTo);
    const QString where = QDir::toNativeSeparators(printedTo);
    if (printed && !recordPrint(*session, first, last, invoices, pdf, where))
        return;
    if (printed)
        m_status->setText(
            invoices.size() == 1
                ? tr("1 invoice printed to %1.").arg(where)
                : tr("%1 invoices printed to %2.").arg(QString::number(invoices.size()), where));
}

bool InvoicePrintScreen::recordPrint(AccpacSession& session, const QString& first,
                                     const QString& last, const QList<PrintedInvoice>& invoices,
                                     bool pdf, const QString& where)
{
    QJsonArray numbers;
    for (const PrintedInvoice& invoice : invoices)
        numbers.append(invoice.number.trimmed());
    const QJsonObject body{{QStringLiteral("from"), first.trimmed()},
                           {QStringLiteral("to"), last.trimmed()},
                           {QStringLiteral("invoices"), numbers},
                           {QStringLiteral("destination"),
                            pdf ? QStringLiteral("PDF file") : QStringLiteral("printer")},
                           {QStringLiteral("printedTo"), where}};
    try {
        const auto link = session.OpenDBLink(1, 0);
        auto journal = link->OpenView(QLatin1String(JournalViewId));
        journal->InitRecord(0);
        journal->Field(QStringLiteral("KIND")).SetValue(JournalKind::Print);
        journal->Field(QStringLiteral("BODY"))
            .SetValue(QString::fromUtf8(QJsonDocument(body).toJson(QJsonDocument::Compact)));
        journal->Insert();
        journal->Close();
        return true;
    } catch (const ComError& error) {
        session.Errors().Clear();
        message(tr("The invoices were printed to %1, but the print could not be recorded in the "
                   "journal: %2")
                    .arg(where, error.description()));
        return false;
    }
}

bool InvoicePrintScreen::printToPdf(const QString& file, const QPageLayout& page,
                                    const InvoiceLayout& layout, const QString& company,
                                    const QList<PrintedInvoice>& invoices)
{
    const bool readOnly = isReadOnlyFile(file);
    if (readOnly && !ask(tr("The PDF file \"%1\" is read-only. Replace it with the invoices?")
                             .arg(QDir::toNativeSeparators(file))))
        return false;
    WaitCursor busy;
    QString refused;
    const QString problem = writePdfFile(
        file, page, tr("Invoices"),
        [&](QPainter& painter, QPagedPaintDevice& device) {
            refused = printProblem(device, layout, invoices);
            return refused.isEmpty() && paintInvoices(painter, device, layout, company, invoices);
        },
        readOnly);
    if (!problem.isEmpty())
        message(refused.isEmpty() ? problem : refused);
    return problem.isEmpty();
}

bool InvoicePrintScreen::printToPrinter(const InvoiceLayout& layout, const QString& company,
                                        const QList<PrintedInvoice>& invoices, QString& printedTo)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(layout.page);
    printer.setDocName(
        tr("Invoices %1 to %2").arg(invoices.constFirst().number, invoices.constLast().number));
    if (const auto& answer = State::printDialogAnswer()) {
        if (!answer(printer))
            return false;
    } else {
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() != QDialog::Accepted)
            return false;
    }
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    // A printer that is not there: Qt turns the printer into a PDF writer without a file.
    if ((toFile && printer.outputFileName().isEmpty()) ||
        (!toFile && QPrinterInfo::printerInfo(printer.printerName()).isNull())) {
        const QString name = printer.printerName();
        message(name.isEmpty()
                    ? tr("The chosen printer is not available. Nothing was printed.")
                    : tr("The printer \"%1\" is not available. Nothing was printed.").arg(name));
        return false;
    }
    // The dialog's "print to file" is a PDF file like the screen's own: whole or not at all.
    if (toFile) {
        printedTo = pdfTarget(printer.outputFileName());
        return printToPdf(printedTo, printer.pageLayout(), layout, company, invoices);
    }
    printedTo = printer.printerName();
    // Checked on the printer's own paper before the job starts.
    if (const QString refused = printProblem(printer, layout, invoices); !refused.isEmpty()) {
        message(refused);
        return false;
    }
    WaitCursor busy;
    QPainter painter;
    bool printed = painter.begin(&printer);
    if (printed) {
        printed = paintInvoices(painter, printer, layout, company, invoices);
        // Ending the job hands it to the printing system, which may still refuse it.
        printed = painter.end() && printed && printer.printerState() != QPrinter::Error;
    }
    if (!printed)
        message(tr("Printing to \"%1\" failed. The invoices may not have been printed.")
                    .arg(printedTo));
    return printed;
}

bool InvoicePrintScreen::ask(const QString& question)
{
    if (const auto& answer = State::screenQuestionAnswer())
        return answer(question);
    QMessageBox box(QMessageBox::Question, UIName(), question, QMessageBox::Yes | QMessageBox::No,
                    this);
    box.setDefaultButton(QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

void InvoicePrintScreen::message(const QString& text)
{
    if (const auto& recorder = State::screenMessageRecorder()) {
        recorder(text);
        return;
    }
    // Plain text: a file or invoice name in the message is never read as markup.
    QMessageBox box(QMessageBox::Warning, UIName(), text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QWidget* createInvoicePrintScreen(QWidget* parent)
{
    return new InvoicePrintScreen(parent);
}

} // namespace Accpac
