#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's resources: its string table, its version, its logo and its icon.
namespace Resources {

// Well-known entries of the string table.
namespace Entry {
constexpr int Version = 10; // "Version  " before major.minor.revision
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

// The program's version as "major.minor.revision".
QString ProgramVersion();

// The number of the program's logo bitmap and of its icon.
constexpr int ProgramPicture = 101;

// Bitmap resource 101: the product logo, drawn for a box of the given size in device-
// independent pixels at the given device pixel ratio (so it stays sharp on dense screens).
QPixmap LogoBitmap(QSize size, qreal devicePixelRatio = 1.0);

// Icon resource 101: the program's icon, at the sizes windows, task bars and docks ask for.
QIcon ProgramIcon();

} // namespace Resources
