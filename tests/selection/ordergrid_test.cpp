#include <ordergrid/ordergrid.h>

#include <core/systemlocale.h>
#include <core/twips.h>

#include <system/comerror.h>

#include <QHeaderView>
#include <QScopeGuard>
#include <QTest>

namespace {

const QString MainFormat = QStringLiteral(
    "^Invoice  |<Order Number                       |<Transfer Date|<Shipment Number          "
    "          |<Amount             |<Customer Number  |<Customer                            "
    "            |ShipVia|<Ship-To Location");

} // namespace

class OrderGridTest : public QObject
{
    Q_OBJECT

private slots:
    void formatStringSetsHeadersAlignmentsAndWidths()
    {
        OrderGrid grid;
        grid.setFormatString(MainFormat);
        QCOMPARE(grid.Cols(), 9);
        QCOMPARE(grid.Rows(), 1);
        QCOMPARE(grid.TextMatrix(0, 0), QStringLiteral("Invoice"));
        QCOMPARE(grid.TextMatrix(0, 7), QStringLiteral("ShipVia"));
        QCOMPARE(grid.TextMatrix(0, 8), QStringLiteral("Ship-To Location"));
        const auto alignment = [&](int col) {
            return Qt::Alignment(grid.model()
                                     ->headerData(col, Qt::Horizontal, Qt::TextAlignmentRole)
                                     .toInt()) &
                   Qt::AlignHorizontal_Mask;
        };
        QCOMPARE(alignment(0), Qt::Alignment(Qt::AlignHCenter));
        QCOMPARE(alignment(1), Qt::Alignment(Qt::AlignLeft));
        // The blanks after "Order Number" make its column wider than "Transfer Date"'s.
        QVERIFY(grid.ColWidth(1) > grid.ColWidth(2));

        grid.setColWidth(7, 0);
        grid.setColWidth(2, 1400);
        QCOMPARE(grid.ColWidth(7), 0);
        QVERIFY(grid.isColumnHidden(7));
        QCOMPARE(grid.ColWidth(2),
                 Twips::fromPixels(Twips::toPixels(1400, grid.logicalDpiX()), grid.logicalDpiX()));
        grid.setFormatString(MainFormat);
        QVERIFY(!grid.isColumnHidden(7));
    }

    void rowsTextsAndPicturesFollowTheCurrentCell()
    {
        OrderGrid grid;
        grid.setFormatString(MainFormat);
        grid.setRows(4);
        QCOMPARE(grid.model()->rowCount(), 3);
        grid.setTextMatrix(2, 1, QStringLiteral("ORD0002"));
        QCOMPARE(grid.TextMatrix(2, 1), QStringLiteral("ORD0002"));
        QCOMPARE(grid.model()->index(1, 1).data().toString(), QStringLiteral("ORD0002"));

        grid.setRow(2);
        grid.setCol(0);
        QCOMPARE(grid.CellPicture(), OrderGrid::Picture::None);
        grid.setCellPicture(OrderGrid::Picture::Checked);
        QCOMPARE(grid.CellPicture(), OrderGrid::Picture::Checked);
        grid.setRow(1);
        QCOMPARE(grid.CellPicture(), OrderGrid::Picture::None);
        // Pictures live in column 0 only.
        grid.setRow(2);
        grid.setCol(3);
        QCOMPARE(grid.CellPicture(), OrderGrid::Picture::None);

        bool threw = false;
        try {
            grid.setRow(4);
        } catch (const ComError& error) {
            threw = error.number() == 381;
        }
        QVERIFY(threw);

        grid.Clear();
        QCOMPARE(grid.Rows(), 1);
        QCOMPARE(grid.Row(), 0);
        QCOMPARE(grid.TextMatrix(0, 0), QString());
    }

    // The grid holds each order as its values and shows them in the clerk's locale; the
    // rules read the values, whatever the current cell, and ticks are the model's.
    void typedRowsAreShownInTheClerksLocale()
    {
        const QLocale before = SystemLocale::locale();
        const auto restore = qScopeGuard([&] { SystemLocale::setLocale(before); });
        const struct
        {
            const char* locale;
            QString amount;
            QString negative;
        } cases[] = {{"en_US.UTF-8", QStringLiteral("1,234.50"), QStringLiteral("-0.05")},
                     {"de_DE.UTF-8", QStringLiteral("1.234,50"), QStringLiteral("-0,05")},
                     {"C.UTF-8", QStringLiteral("1234.50"), QStringLiteral("-0.05")}};
        for (const auto& c : cases) {
            SystemLocale::setLocale(QLocale(QLatin1String(c.locale)));
            OrderGrid grid;
            grid.setFormatString(MainFormat);
            OrderRow sale;
            sale.order = QStringLiteral("ORD1");
            sale.transferDate = QDate(2026, 12, 2);
            sale.shipment = QStringLiteral("SH1");
            sale.amount = Books::Money{123450, 2};
            sale.customer = QStringLiteral("1200");
            sale.shipVia = QStringLiteral("1");
            OrderRow entering;
            entering.order = QStringLiteral("ORD2");
            entering.shipment = OrderRow::NewShipment;
            grid.appendRows({sale, entering});
            QCOMPARE(grid.Rows(), 3);
            QCOMPARE(grid.TextMatrix(1, OrderRow::Amount), c.amount);
            QCOMPARE(grid.model()->index(0, OrderRow::Amount).data().toString(), c.amount);
            QCOMPARE(grid.TextMatrix(1, OrderRow::TransferDate),
                     SystemLocale::shortDate(QDate(2026, 12, 2)));
            QCOMPARE(SystemLocale::parseMoney(c.amount), std::optional(Books::Money{123450, 2}));
            QVERIFY(grid.orderRow(1).isCashSale());
            QCOMPARE(grid.orderRow(1).money(), (Books::Money{123450, 2}));
            // A shipment being entered shows no amount and counts 0; it is no zero shipment.
            QCOMPARE(grid.TextMatrix(2, OrderRow::Amount), QString());
            QCOMPARE(grid.orderRow(2).money(), Books::Money{});
            QVERIFY(!grid.orderRow(2).isZeroAmountShipment());

            // Entered as a clerk types it: any form of zero is zero.
            grid.setTextMatrix(1, OrderRow::Amount, c.negative);
            QCOMPARE(grid.orderRow(1).amount, std::optional(Books::Money{-5, 2}));
            grid.setTextMatrix(1, OrderRow::Amount, QStringLiteral("0"));
            QVERIFY(grid.orderRow(1).isZeroAmountShipment());
            // A date that is none is refused; the row keeps its own.
            bool refused = false;
            try {
                grid.setTextMatrix(1, OrderRow::TransferDate, QStringLiteral("31.31.31"));
            } catch (const ComError& error) {
                refused = error.number() == 13;
            }
            QVERIFY(refused);
            QCOMPARE(grid.orderRow(1).transferDate, QDate(2026, 12, 2));

            // Rows arrive unticked; a tick is read from the model, not the current cell.
            QVERIFY(!grid.isChecked(1));
            grid.setRow(1);
            grid.setCol(0);
            grid.setCellPicture(OrderGrid::Picture::Checked);
            grid.setRow(2);
            QVERIFY(grid.isChecked(1));
            QCOMPARE(grid.gridModel()->checkedRows(), std::set<int>{1});
            bool outside = false;
            try {
                grid.orderRow(0);
            } catch (const ComError& error) {
                outside = error.number() == 381;
            }
            QVERIFY(outside);
        }
    }

    void clickMakesTheCellCurrentThenReportsIt()
    {
        OrderGrid grid;
        grid.setFormatString(MainFormat);
        grid.setRows(3);
        grid.resize(900, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));

        QList<std::pair<int, int>> clicks;
        connect(&grid, &OrderGrid::Click, this, [&] { clicks.append({grid.Row(), grid.Col()}); });
        const QRect cell = grid.visualRect(grid.model()->index(1, 0));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
        const QRect other = grid.visualRect(grid.model()->index(0, 5));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, other.center());
        QCOMPARE(clicks, (QList<std::pair<int, int>>{{2, 0}, {1, 5}}));

        int typed = 0;
        connect(&grid, &OrderGrid::KeyPress, this, [&](int& key) { typed = key; });
        QTest::keyClick(&grid, Qt::Key_Space);
        QCOMPARE(typed, 32);
    }

    void theSelectionPictureIsCentredInItsCell()
    {
        OrderGrid grid;
        grid.setFormatString(MainFormat);
        grid.setRows(3);
        grid.setCol(0);
        for (int row : {1, 2}) {
            grid.setRow(row);
            grid.setCellPicture(row == 1 ? OrderGrid::Picture::Checked
                                         : OrderGrid::Picture::Unchecked);
        }
        grid.resize(900, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        const QImage shown = grid.viewport()->grab().toImage();
        for (int row : {0, 1}) {
            // The picture's frame is the only dark ink in the cell.
            const QRect cell = grid.visualRect(grid.model()->index(row, 0));
            QRect ink;
            for (int y = cell.top(); y <= cell.bottom(); ++y)
                for (int x = cell.left(); x <= cell.right(); ++x)
                    if (qGray(shown.pixel(x, y)) < 64)
                        ink |= QRect(x, y, 1, 1);
            QVERIFY2(ink.width() >= 12, qPrintable(QString::number(ink.width())));
            QVERIFY2(qAbs(ink.center().x() - cell.center().x()) <= 1,
                     qPrintable(QStringLiteral("picture at %1, cell centre %2")
                                    .arg(ink.center().x())
                                    .arg(cell.center().x())));
            QVERIFY(qAbs(ink.center().y() - cell.center().y()) <= 1);
        }
    }
};

QTEST_MAIN(OrderGridTest)
#include "ordergrid_test.moc"
