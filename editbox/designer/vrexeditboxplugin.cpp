#include "vrexeditboxplugin.h"

#include <vrexeditbox/vrexeditbox.h>

#include <QIcon>

VrexEditboxPlugin::VrexEditboxPlugin(QObject* parent) : QObject(parent)
{
    // The plugin's texts in Designer's language, where the library has a translation.
    VrexEditbox::installTranslator(QLocale());
}

QString VrexEditboxPlugin::name() const
{
    return QStringLiteral("VrexEditbox");
}

QString VrexEditboxPlugin::group() const
{
    return QStringLiteral("Input Widgets");
}

QString VrexEditboxPlugin::toolTip() const
{
    return tr("Typed edit box");
}

QString VrexEditboxPlugin::whatsThis() const
{
    return tr("A text box for codes, numbers, amounts, percentages and dates, "
              "with typed input, completion and validation.");
}

QString VrexEditboxPlugin::includeFile() const
{
    return QStringLiteral("vrexeditbox/vrexeditbox.h");
}

QIcon VrexEditboxPlugin::icon() const
{
    return {};
}

bool VrexEditboxPlugin::isContainer() const
{
    return false;
}

QWidget* VrexEditboxPlugin::createWidget(QWidget* parent)
{
    return new VrexEditbox(parent);
}

bool VrexEditboxPlugin::isInitialized() const
{
    return m_initialized;
}

void VrexEditboxPlugin::initialize(QDesignerFormEditorInterface*)
{
    m_initialized = true;
}

QString VrexEditboxPlugin::domXml() const
{
    return QStringLiteral(R"(<ui language="c++">
  <widget class="VrexEditbox" name="vreEdit">
    <property name="geometry"><rect><x>0</x><y>0</y><width>100</width><height>21</height></rect></property>
  </widget>
  <customwidgets>
    <customwidget>
      <class>VrexEditbox</class>
      <extends>QWidget</extends>
      <header>vrexeditbox/vrexeditbox.h</header>
    </customwidget>
  </customwidgets>
</ui>)");
}
