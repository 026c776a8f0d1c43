// The Designer plugin loads as Designer loads it and offers the edit box with its header.
#include <vrexeditbox/vrexeditbox.h>

#include <QLineEdit>
#include <QPluginLoader>
#include <QTest>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

class DesignerPluginTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pluginOffersTheEditBox()
    {
        QPluginLoader loader(QStringLiteral(VREXEDITBOX_DESIGNER_PLUGIN));
        QVERIFY2(loader.load(), qPrintable(loader.errorString()));
        auto* plugin = qobject_cast<QDesignerCustomWidgetInterface*>(loader.instance());
        QVERIFY(plugin);
        QCOMPARE(plugin->name(), QStringLiteral("VrexEditbox"));
        QCOMPARE(plugin->includeFile(), QStringLiteral("vrexeditbox/vrexeditbox.h"));
        QVERIFY(!plugin->isContainer());
        QVERIFY(plugin->domXml().contains(QStringLiteral("<class>VrexEditbox</class>")));
        QWidget parent;
        QWidget* widget = plugin->createWidget(&parent);
        QCOMPARE(widget->metaObject()->className(), "VrexEditbox");
        QVERIFY(widget->findChild<QLineEdit*>(QStringLiteral("txtEdit")));
        QCOMPARE(widget->property("CenturyYear").toInt(),
                 int(QString::number(QDate::currentDate().year() + 50).right(2).toInt()));
    }
};

QTEST_MAIN(DesignerPluginTest)
#include "designerplugin_test.moc"
