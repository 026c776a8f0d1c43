#include <windows/frmbatchopts.h>

#include "ui_frmbatchopts.h"

#include <core/appstate.h>
#include <core/systemlocale.h>

#include <QDate>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs `user` on the batch options window once it is up, as the person at the screen.
bool runWith(const std::function<void(frmBatchOpts&)>& user)
{
    QTimer::singleShot(0, [user] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* window = qobject_cast<frmBatchOpts*>(widget); window && window->isVisible())
                user(*window);
        }
    });
    return frmBatchOpts::run(nullptr);
}

} // namespace

TEST(BatchOptions, TheOptionClickedLastIsTheBatchOption)
{
    SystemLocale::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    modGeneral::BatchOption = 7;
    QString secondText;
    bool firstSelected = false;
    EXPECT_TRUE(runWith([&](frmBatchOpts& window) {
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Batch Options"));
        EXPECT_EQ(modGeneral::BatchOption, 1);
        firstSelected = window.ui()->optBatch_1->isChecked();
        secondText = window.ui()->optBatch_2->text();
        window.ui()->optBatch_2->click();
        QTest::mouseClick(window.ui()->btnOK, Qt::LeftButton);
    }));
    EXPECT_TRUE(firstSelected);
    EXPECT_EQ(secondText, QStringLiteral("Only Shipments for ") +
                              SystemLocale::shortDate(QDate::currentDate()));
    EXPECT_EQ(modGeneral::BatchOption, 2);

    // Closed with Escape after changing the mind twice: the last click counts, and the run
    // goes on.
    EXPECT_TRUE(runWith([](frmBatchOpts& window) {
        window.ui()->optBatch_2->click();
        window.ui()->optBatch_1->click();
        QTest::keyClick(&window, Qt::Key_Escape);
    }));
    EXPECT_EQ(modGeneral::BatchOption, 1);

    EXPECT_TRUE(runWith([](frmBatchOpts& window) {
        window.ui()->optBatch_2->click();
        window.close();
    }));
    EXPECT_EQ(modGeneral::BatchOption, 2);
}
