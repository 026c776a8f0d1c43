#pragma once

#include <QIcon>
#include <QString>

// The program's resources: its string table and its icon.
namespace Resources {

// Well-known entries of the string table.
namespace Entry {
constexpr int Version = 10; // "Version " before major.minor.revision
constexpr int Company = 14;
constexpr int CompanyProduct = 15;
constexpr int Copyright = 16;
constexpr int Platform = 18;
constexpr int Title = 20;
constexpr int Warning = 22;
constexpr int AboutCaption = 40;
constexpr int Description = 42;
constexpr int WebLine = 44;
constexpr int ContactLine = 45;
constexpr int WebAddress = 46; // opened by Help, "Visit Norvane Website"
constexpr int ProductName = 53;
constexpr int AccpacProduct = 55;
constexpr int OkCaption = 100;
constexpr int OkTip = 101;
constexpr int SysInfoCaption = 102;
constexpr int SysInfoTip = 103;
} // namespace Entry

// The text of a string table entry; the empty text for an entry the table does not have.
QString LoadResString(int id);

// Icon resource 101: the program's icon.
QIcon ProgramIcon();

} // namespace Resources
