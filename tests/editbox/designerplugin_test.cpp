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

        // Designer shows the plugin's texts in the language of the library's translator.
        QCOMPARE(plugin->toolTip(), QStringLiteral("Typed edit box"));
        QVERIFY(VrexEditbox::installTranslator(QLocale(QLocale::German, QLocale::Germany)));
        QCOMPARE(plugin->toolTip(), QStringLiteral("Typisiertes Eingabefeld"));
        QVERIFY(plugin->whatsThis().startsWith(QStringLiteral("Ein Textfeld für Codes")));
        VrexEditbox::installTranslator(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(plugin->toolTip(), QStringLiteral("Typed edit box"));
    }

    // Designer's property editor shows each property once (Enabled and Font are QWidget's
    // enabled and font) and edits colours with its colour editor.
    void propertiesOnceAndColoursAsColours()
    {
        const QMetaObject* meta = &VrexEditbox::staticMetaObject;
        QStringList shown;
        for (int i = 0; i < meta->propertyCount(); ++i) {
            const QMetaProperty p = meta->property(i);
            if (!p.isDesignable())
                continue;
            const QString name = QString::fromLatin1(p.name()).toLower();
            QVERIFY2(!shown.contains(name), p.name());
            shown << name;
        }
        for (const char* font :
             {"FontBold", "FontItalic", "FontName", "FontSize", "FontStrikethru", "FontUnderline"})
            QVERIFY2(!meta->property(meta->indexOfProperty(font)).isDesignable(), font);
        for (const char* colour :
             {"BackColor", "ForeColor", "BackColor_GotFocus", "BackColor_Normal"}) {
            const QMetaProperty p = meta->property(meta->indexOfProperty(colour));
            QCOMPARE(p.metaType(), QMetaType::fromType<QColor>());
            QVERIFY(p.isDesignable());
        }
    }
};

QTEST_MAIN(DesignerPluginTest)
#include "designerplugin_test.moc"
