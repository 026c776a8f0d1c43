#include <settings/settings.h>

#include <system/comerror.h>

#include <QLocale>

#include <cmath>
#include <limits>

using namespace Registry;

namespace Setting {

namespace {

[[noreturn]] void typeMismatch()
{
    throw ComError(ComErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
}

} // namespace

QString read(const Entry& entry)
{
    return read(entry, QString::fromLatin1(entry.defaultValue));
}

QString read(const Entry& entry, const QString& defaultValue)
{
    return Read_RegString(HKEY_LOCAL_MACHINE, QString::fromLatin1(SettingsKey),
                          QString::fromLatin1(entry.name), defaultValue);
}

void save(const Entry& entry, const QString& text)
{
    Save_RegString(HKEY_LOCAL_MACHINE, QString::fromLatin1(SettingsKey),
                   QString::fromLatin1(entry.name), text);
}

QString readSecurityList()
{
    return Read_UserSetting(
        QString::fromLatin1(SecurityApplication), QString::fromLatin1(SecuritySection),
        QString::fromLatin1(Security.name), QString::fromLatin1(Security.defaultValue));
}

void saveSecurityList(const QString& text)
{
    Save_UserSetting(QString::fromLatin1(SecurityApplication), QString::fromLatin1(SecuritySection),
                     QString::fromLatin1(Security.name), text);
}

double toNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    const double number = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(number))
        typeMismatch();
    return number;
}

int toInteger(const QString& text)
{
    const double rounded = std::nearbyint(toNumber(text)); // the default mode rounds to even
    if (rounded < double(std::numeric_limits<int>::min()) ||
        rounded > double(std::numeric_limits<int>::max()))
        throw ComError(ComErrorNumber::Overflow, QStringLiteral("Overflow"));
    return int(rounded);
}

bool toBoolean(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return toNumber(trimmed) != 0.0;
}

} // namespace Setting
