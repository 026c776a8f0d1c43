#pragma once

#include <QIcon>
#include <QPointer>
#include <QWidget>

class AccpacSession;
class QComboBox;
class QPageLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Accpac {

class AccpacFieldEdit;
struct InvoiceLayout;
struct PrintedInvoice;

// One named control of the screen, as its host fetches it ("uiappcontrols" then
// "GetControl").
class UIAppControl : public QObject
{
    Q_OBJECT
public:
    UIAppControl(QWidget* control, QObject* parent) : QObject(parent), m_control(control) {}
    Q_INVOKABLE QObject* GetControl() const { return m_control; }

private:
    QPointer<QWidget> m_control;
};

// The Order Entry invoice printing screen. Its host knows it only by the members below,
// reached by name: the properties, "uiappcontrols", and the two events. It prints every
// invoice of the signed-on company whose number lies in the range, with the layout the
// report file names, to a printer (the print dialog) or to a PDF file.
class InvoicePrintScreen : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString UIName READ UIName CONSTANT)
    Q_PROPERTY(QString CompanyID READ CompanyID)
    Q_PROPERTY(QIcon UIIcon READ UIIcon)
    // In twips, as a hosted control reports its sizes.
    Q_PROPERTY(int MinimumHeight READ MinimumHeight)
    Q_PROPERTY(int MinimumWidth READ MinimumWidth)

public:
    explicit InvoicePrintScreen(QWidget* parent = nullptr);

    QString UIName() const;
    QString CompanyID() const { return m_companyId; }
    QIcon UIIcon() const;
    int MinimumHeight() const;
    int MinimumWidth() const;

    // The screen's control of that name ("afeOEINVHsortfrom", "afeOEINVHsortto",
    // "txtRptFile", ...); nullptr when it has none.
    Q_INVOKABLE QObject* uiappcontrols(const QString& name);

signals:
    // The screen has started: its controls and the company's data are ready.
    void OnUIAppOpened();
    // The user closed the screen.
    void OnUIAppClosed();

private:
    void open();
    void print();
    void chooseInvoice(AccpacFieldEdit* field);
    void choosePdfFile();
    void showDestination();
    // Why the range cannot be printed ("" when it can).
    QString rangeProblem(const QString& first, const QString& last) const;
    bool printToPdf(const QString& file, const QPageLayout& page, const InvoiceLayout& layout,
                    const QString& company, const QList<PrintedInvoice>& invoices);
    bool printToPrinter(const InvoiceLayout& layout, const QString& company,
                        const QList<PrintedInvoice>& invoices, QString& printedTo);
    void message(const QString& text);
    // A yes-or-no question; true for yes.
    bool ask(const QString& question);
    // Writes the print's journal entry (range, invoices, destination); false, with the
    // reason shown, when it cannot be written.
    bool recordPrint(AccpacSession& session, const QString& first, const QString& last,
                     const QList<PrintedInvoice>& invoices, bool pdf, const QString& where);

    QString m_companyId;
    AccpacFieldEdit* m_from;
    AccpacFieldEdit* m_to;
    QLineEdit* m_reportFile;
    QComboBox* m_destination;
    QLineEdit* m_pdfFile;
    QPushButton* m_browse;
    QLabel* m_status;
    QPushButton* m_print;
    QPushButton* m_close;
    bool m_printing = false;
};

} // namespace Accpac
