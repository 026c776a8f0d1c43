#pragma once

#include <accpac/session.h>

#include <QString>

#include <cstdint>
#include <memory>

// The program's Accpac session: signed on once when the main window loads, closed when it
// unloads. Every view of the program is opened through AppDBLink.
namespace modGeneral {

inline std::unique_ptr<AccpacSignon> AppSignon;
inline std::unique_ptr<AccpacSession> AppSession;
inline std::shared_ptr<AccpacDBLink> AppDBLink;
inline AccpacCompany AppCompany;

// Signs on through the sign-on dialog and opens the company link; true when AppDBLink is
// usable. A cancelled or refused sign-on gives false without a message.
bool Open_Connections();

// Closes the link and the session and releases the session objects.
void Close_Connections();

// The version ("53A", "56A", ...) of the company's active application whose ID equals the
// trimmed appId; empty when the company has no such application.
QString Version_APModule(const QString& appId);

// The signed-on session; throws when there is none.
AccpacSession& Session();

// ErrorAccpac over the error collection of the program's session.
void ErrorAccpac(std::int32_t number, const QString& description, const QString& source);

// An open view that is closed and released when it goes out of scope, on every path.
struct ViewCloser
{
    void operator()(AccpacView* view) const noexcept;
};
using ViewPtr = std::unique_ptr<AccpacView, ViewCloser>;

// Opens a view through AppDBLink; throws when there is no link or the view ID is unknown.
ViewPtr OpenView(const QString& viewId);

} // namespace modGeneral
