#include <activex/activex.h>

#include <system/comerror.h>

#include <QMetaMethod>
#include <QMetaObject>
#include <QObject>

namespace ActiveX {

namespace {

[[noreturn]] void noSuchMember(const QObject* object, const char* name)
{
    throw ComError(NoSuchMember,
                   QStringLiteral("Object doesn't support this property or method (%1.%2)")
                       .arg(object ? QString::fromLatin1(object->metaObject()->className())
                                   : QStringLiteral("Nothing"),
                            QString::fromLatin1(name)));
}

int propertyIndex(const QObject* object, const char* name)
{
    if (!object)
        noSuchMember(object, name);
    const int index = object->metaObject()->indexOfProperty(name);
    if (index < 0)
        noSuchMember(object, name);
    return index;
}

QMetaMethod methodOf(const QObject* object, const char* name, int argumentCount)
{
    if (!object)
        noSuchMember(object, name);
    const QMetaObject* meta = object->metaObject();
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.name() == name && method.parameterCount() == argumentCount &&
            method.returnType() == QMetaType::QObjectStar)
            return method;
    }
    noSuchMember(object, name);
}

// Hands one signal of a control to the host's handler with the signal's name.
class EventRelay : public QObject
{
    Q_OBJECT
public:
    EventRelay(QString name, std::function<void(const QString&)> handler, QObject* parent)
        : QObject(parent), m_name(std::move(name)), m_handler(std::move(handler))
    {
    }

public slots:
    void fire() { m_handler(m_name); }

private:
    QString m_name;
    std::function<void(const QString&)> m_handler;
};

} // namespace

QVariant GetProperty(const QObject* object, const char* name)
{
    return object->metaObject()->property(propertyIndex(object, name)).read(object);
}

void SetProperty(QObject* object, const char* name, const QVariant& value)
{
    const QMetaProperty property = object->metaObject()->property(propertyIndex(object, name));
    if (!property.write(object, value))
        throw ComError(ComErrorNumber::TypeMismatch,
                       QStringLiteral("The value cannot be given to property %1.")
                           .arg(QString::fromLatin1(name)));
}

QObject* CallObject(QObject* object, const char* method)
{
    QObject* result = nullptr;
    methodOf(object, method, 0)
        .invoke(object, Qt::DirectConnection, Q_RETURN_ARG(QObject*, result));
    return result;
}

QObject* CallObject(QObject* object, const char* method, const QString& argument)
{
    QObject* result = nullptr;
    const QMetaMethod found = methodOf(object, method, 1);
    if (found.parameterType(0) != QMetaType::QString)
        noSuchMember(object, method);
    found.invoke(object, Qt::DirectConnection, Q_RETURN_ARG(QObject*, result),
                 Q_ARG(QString, argument));
    return result;
}

void ConnectObjectEvents(QObject* control, QObject* context,
                         std::function<void(const QString& eventName)> handler)
{
    const QMetaObject* meta = control->metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod signal = meta->method(i);
        if (signal.methodType() != QMetaMethod::Signal)
            continue;
        auto* relay = new EventRelay(QString::fromLatin1(signal.name()), handler, context);
        QObject::connect(control, signal, relay,
                         relay->metaObject()->method(relay->metaObject()->indexOfSlot("fire()")));
    }
}

} // namespace ActiveX

#include "activex.moc"
