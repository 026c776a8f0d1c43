#pragma once

#include <QString>
#include <QVariant>

#include <functional>

class QObject;
class QWidget;

// Hosting controls the way a window hosts ActiveX controls: a control is created from its
// ProgID, never from its class, and everything the host uses of it is reached by name at run
// time (properties, methods, events). A failure throws ComError with the number the host's
// error handler would see (429 cannot create, 438 no such member).
namespace ActiveX {

// Error numbers of late-bound calls.
constexpr int CannotCreateObject = 429;
constexpr int NoSuchMember = 438;

// Makes a control: given the parent it is placed on, returns the new control widget.
using ControlFactory = std::function<QWidget*(QWidget* parent)>;

// Adds a control of the registered ProgID to parent's controls under the given name (the
// widget's object name). Throws ComError 429 when the ProgID is not registered or the
// control cannot be created.
QWidget* AddControl(const QString& progId, const QString& name, QWidget* parent);

// Registers (or replaces) the factory of a ProgID; an empty factory removes the ProgID.
// The controls installed on this machine are registered from the start.
void RegisterControl(const QString& progId, ControlFactory factory);
bool IsRegistered(const QString& progId);

// A property by name; throws ComError 438 when the object has no such property.
QVariant GetProperty(const QObject* object, const char* name);
void SetProperty(QObject* object, const char* name, const QVariant& value);

// Calls a method by name that returns an object (a collection item, a control), with no
// argument or one text argument. Throws ComError 438 when there is no such method.
QObject* CallObject(QObject* object, const char* method);
QObject* CallObject(QObject* object, const char* method, const QString& argument);

// Every event (signal) the control's own class declares reaches handler with the event's
// name, while context lives: a host's single "ObjectEvent" handler for all of them.
void ConnectObjectEvents(QObject* control, QObject* context,
                         std::function<void(const QString& eventName)> handler);

} // namespace ActiveX
