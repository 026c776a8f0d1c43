#pragma once

#include <settings/registrystore.h>

#include <QString>

// Every setting of the program: its value name and the default its readers pass. All live
// as REG_SZ text under HKEY_LOCAL_MACHINE\<SettingsKey>, except Security, which lives in the
// current user's per-user store (see SecurityApplication / SecuritySection).
namespace Setting {

struct Entry
{
    const char* name;
    const char* defaultValue;
};

inline constexpr const char* SettingsKey = "Software\\Norvane\\Tallymerge";

inline constexpr Entry Configure{"Configure", "False"};       // "True" once configured
inline constexpr Entry DBEngine{"DBEngine", "1"};             // 1 MS SQL Server, 2 Pervasive
inline constexpr Entry Auth{"Auth", "True"};                  // "True": DSN only, no user
inline constexpr Entry DSN{"DSN", ""};                        // ODBC system data source
inline constexpr Entry DBUser{"DBUser", ""};                  // scrambled database user
inline constexpr Entry DBPWD{"DBPWD", ""};                    // scrambled database password
inline constexpr Entry DBName{"DBName", ""};                  // database behind the DSN
inline constexpr Entry Interval{"Interval", "2"};             // refresh-interval list position
inline constexpr Entry ShipVia{"ShipVia", "0"};               // customer-class list position
inline constexpr Entry Warehouse{"Warehouse", "0"};           // location list position
inline constexpr Entry DateRange{"DateRange", "0"};           // "1": date range offered
inline constexpr Entry BatchInv{"BatchInv", "0"};             // not "0": batch invoicing shown
inline constexpr Entry PrintInv{"PrintInv", "0"};             // "1": print after an invoice
inline constexpr Entry DeliveryCharge{"DeliveryCharge", "0"}; // "1": charges applied
inline constexpr Entry DelCharge{"DelCharge", ""};            // miscellaneous charge code
inline constexpr Entry OrderSeparator{"OrderSeparator", "0"}; // 0 "-", 1 " ", 2 "_"
inline constexpr Entry OrderNum{"OrderNum", "0"};             // "1": revision suffix in use
inline constexpr Entry SuffixLocked{"SuffixLocked", "False"}; // "True": suffix fixed
inline constexpr Entry InvComplete{"InvComplete", "0"};       // "1": completed orders together
inline constexpr Entry InvoiceWarning{"InvoiceWarning", "0"}; // not "0": warn on $0
inline constexpr Entry RecType{"RecType", ""};                // default receipt type
inline constexpr Entry BankCode{"BankCode", ""};              // default bank code
inline constexpr Entry UseInv{"UseInv", ""};                  // last invoice report file
inline constexpr Entry Version{"Version", ""};                // written at start, never read
inline constexpr Entry Name{"Name", ""};                      // written at start, never read
inline constexpr Entry Security{"Security", ""};              // scrambled IDs joined by ","
// The site to sign on to: a folder, or a database server's libpq connection string; empty
// for the default folder.
inline constexpr Entry Site{"Site", ""};

// The configuration window reads PrintInv with its box ticked by default.
inline constexpr const char* PrintInvConfigurationDefault = "1";

// Address of the security list in the per-user store: the application name is the handle
// value of HKEY_LOCAL_MACHINE as signed decimal text, the section the settings key.
inline constexpr const char* SecurityApplication = "-2147483646";
inline constexpr const char* SecuritySection = SettingsKey;

// Reads entry from the settings key with the entry's default, or with another default.
QString read(const Entry& entry);
QString read(const Entry& entry, const QString& defaultValue);
void save(const Entry& entry, const QString& text);

// The security list of the current user.
QString readSecurityList();
void saveSecurityList(const QString& text);

// The conversions the readers make. A text that does not convert throws ComError
// TypeMismatch ("Type mismatch"); an integer out of range throws Overflow ("Overflow").
// Leading and trailing blanks are ignored; the full stop is the decimal point.
double toNumber(const QString& text);
// A number rounded to the nearest integer, halves to even.
int toInteger(const QString& text);
// "True" / "False" in any case, or a number: 0 is false, any other number true.
bool toBoolean(const QString& text);
// The stored form of a Boolean.
inline QString fromBoolean(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace Setting
