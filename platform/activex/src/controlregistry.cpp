#include <activex/activex.h>

#include <accpac/standin.h>
#include <system/comerror.h>

#include <QHash>
#include <QWidget>

namespace ActiveX {

namespace {

// The controls installed on this machine, by ProgID (as the system's class registry lists
// them on Windows).
QHash<QString, ControlFactory>& registry()
{
    static QHash<QString, ControlFactory> controls = {
        {QStringLiteral("ACCPACOE1400.ACCPACOE1400UICtrl"), &Accpac::createInvoicePrintScreen},
    };
    return controls;
}

} // namespace

void RegisterControl(const QString& progId, ControlFactory factory)
{
    if (factory)
        registry().insert(progId, std::move(factory));
    else
        registry().remove(progId);
}

bool IsRegistered(const QString& progId)
{
    return registry().contains(progId);
}

QWidget* AddControl(const QString& progId, const QString& name, QWidget* parent)
{
    const ControlFactory factory = registry().value(progId);
    if (!factory)
        throw ComError(CannotCreateObject,
                       QStringLiteral("ActiveX component can't create object: %1").arg(progId));
    QWidget* control = nullptr;
    try {
        control = factory(parent);
    } catch (const ComError& error) {
        throw ComError(CannotCreateObject,
                       QStringLiteral("ActiveX component can't create object: %1 (%2)")
                           .arg(progId, error.description()));
    }
    if (!control)
        throw ComError(CannotCreateObject,
                       QStringLiteral("ActiveX component can't create object: %1").arg(progId));
    control->setObjectName(name);
    return control;
}

} // namespace ActiveX
