// The sign-on and finder dialogs, driven through their widgets on the offscreen platform.
#include "testsite.h"

#include <accpac/finder.h>
#include <system/comerror.h>

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs action on the modal dialog once it is shown.
void whenModal(std::function<void(QWidget*)> action)
{
    QTimer::singleShot(0, [action] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) {
            whenModal(action);
            return;
        }
        action(dialog);
    });
}

} // namespace

class TestAccpacDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_site = std::make_unique<TestSite>();
        Accpac::setSiteFolder(m_site->folder);
    }

    void signOnDialogRetriesAfterAWrongPasswordAndCancelLeavesUnopened()
    {
        auto signon = Accpac::createSignon();
        auto session = Accpac::createSession();
        session->Init(QString(), "AS", "AS0001", "53A");
        QString shownMessage;
        whenModal([&](QWidget* dialog) {
            auto* company = dialog->findChild<QComboBox*>("cboCompany");
            QVERIFY(company);
            QCOMPARE(company->count(), 1);
            QCOMPARE(company->currentData().toString(), QStringLiteral("SAMINC"));
            QTest::keyClicks(dialog->findChild<QLineEdit*>("txtUserID"), "clerk");
            QTest::keyClicks(dialog->findChild<QLineEdit*>("txtPassword"), "nope");
            QTest::mouseClick(dialog->findChild<QPushButton*>("btnOK"), Qt::LeftButton);
            // Still open, with the reason, the password emptied.
            QVERIFY(dialog->isVisible());
            shownMessage = dialog->findChild<QLabel*>("lblMessage")->text();
            QVERIFY(dialog->findChild<QLineEdit*>("txtPassword")->text().isEmpty());
            QTest::keyClicks(dialog->findChild<QLineEdit*>("txtPassword"), "CLERK");
            QTest::mouseClick(dialog->findChild<QPushButton*>("btnOK"), Qt::LeftButton);
        });
        signon->SignOn(*session);
        QVERIFY(session->IsOpened());
        QCOMPARE(session->UserID(), QStringLiteral("CLERK"));
        QVERIFY(shownMessage.contains("Invalid user ID or password"));

        auto second = Accpac::createSession();
        second->Init(QString(), "AS", "AS0001", "53A");
        whenModal([](QWidget* dialog) {
            QTest::keyClicks(dialog->findChild<QLineEdit*>("txtUserID"), "ADMIN");
            QTest::keyClicks(dialog->findChild<QLineEdit*>("txtPassword"), "ADMIN");
            QTest::mouseClick(dialog->findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
        });
        signon->SignOn(*second);
        QVERIFY(!second->IsOpened());
        QCOMPARE(second->Errors().Count(), 0);

        // A folder without a site: the dialog says so and offers only Cancel.
        Accpac::setSiteFolder(m_site->dir.path() + "/nosite");
        QString message;
        bool okEnabled = true;
        whenModal([&](QWidget* dialog) {
            message = dialog->findChild<QLabel*>("lblMessage")->text();
            okEnabled = dialog->findChild<QPushButton*>("btnOK")->isEnabled();
            QTest::mouseClick(dialog->findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
        });
        signon->SignOn(*second);
        Accpac::setSiteFolder(m_site->folder);
        QVERIFY(!second->IsOpened());
        QVERIFY(message.contains("No site"));
        QVERIFY(!okEnabled);
    }

    void finderDialogSearchesAndReturnsCodeThenDescription()
    {
        auto session = m_site->signOn();
        QVERIFY(session);
        auto finder = Accpac::createFinder();
        finder->SetSession(session.get());
        finder->SetViewID("BK0001");
        finder->SetFilter("INACTIVE = 0");
        int visibleAfterSearch = -1;
        whenModal([&](QWidget* dialog) {
            auto* table = dialog->findChild<QTableWidget*>("tblRecords");
            QCOMPARE(table->rowCount(), 3);
            QTest::keyClicks(dialog->findChild<QLineEdit*>("txtSearch"), "toronto");
            visibleAfterSearch = 0;
            for (int r = 0; r < table->rowCount(); ++r)
                visibleAfterSearch += table->isRowHidden(r) ? 0 : 1;
            QTest::mouseClick(dialog->findChild<QPushButton*>("btnSelect"), Qt::LeftButton);
        });
        QVERIFY(finder->Show(nullptr));
        QCOMPARE(visibleAfterSearch, 1);
        QCOMPARE(finder->Values(),
                 QVariantList(
                     {QStringLiteral("TDCAD"), QStringLiteral("Toronto Dominion - CAD account")}));

        whenModal([](QWidget* dialog) {
            QTest::mouseClick(dialog->findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
        });
        QVERIFY(!finder->Show(nullptr));
        QVERIFY(finder->Values().isEmpty());
    }

    void finderPickerReturnsTheFinderValues()
    {
        auto session = m_site->signOn();
        QVERIFY(session);
        auto finder = Accpac::createFinder();
        finder->SetSession(session.get());
        QList<QVariantList> offered;
        Accpac::Testing::setFinderPicker([&](const QList<QVariantList>& rows) {
            offered = rows;
            return int(rows.size()) - 1;
        });
        finder->SetViewID("AR0041");
        finder->SetFilter("BATCHSTAT = 1");
        QVERIFY(finder->Show(nullptr));
        // The open batches only: 1 and 3 (2 and 5 are posted, 4 deleted).
        QCOMPARE(offered.size(), 2);
        QCOMPARE(offered[0][0].toInt(), 1);
        const QVariantList batch = finder->Values();
        QCOMPARE(batch.size(), 4);
        QCOMPARE(batch[0].toInt(), 3);
        QCOMPARE(batch[1].typeId(), int(QMetaType::QDate));
        QCOMPARE(batch[2].toString(), QStringLiteral("Counter receipts"));
        QCOMPARE(batch[3].toString(), QStringLiteral("SPRINGBK"));

        finder->SetViewID("AR0012");
        finder->SetFilter(QString());
        QVERIFY(finder->Show(nullptr));
        QCOMPARE(offered.size(), 6);
        QCOMPARE(finder->Values(),
                 QVariantList({QStringLiteral("WIRE"), QStringLiteral("Wire transfer")}));

        finder->SetViewID("AS0003");
        finder->SetFilter("ACCTSTATUS = 0");
        Accpac::Testing::setFinderPicker([](const QList<QVariantList>&) { return 2; });
        QVERIFY(finder->Show(nullptr));
        QCOMPARE(finder->Values()[0].toString(), QStringLiteral("SUPER"));

        Accpac::Testing::setFinderPicker([](const QList<QVariantList>&) { return -1; });
        QVERIFY(!finder->Show(nullptr));

        // A filter the engine refuses: an error with its entry in Errors, nothing picked.
        finder->SetFilter("ACCTSTATUS = ");
        session->Errors().Clear();
        QVERIFY_THROWS_EXCEPTION(ComError, finder->Show(nullptr));
        QCOMPARE(session->Errors().Count(), 1);
        QVERIFY(session->Errors().Message(0).contains("position 14"));
        QVERIFY(finder->Values().isEmpty());
        Accpac::Testing::setFinderPicker({});
    }

private:
    std::unique_ptr<TestSite> m_site;
};

QTEST_MAIN(TestAccpacDialogs)
#include "test_dialogs.moc"
