#include "auditsettings.h"

#include <registry/hivesnapshot.h>
#include <settings/settings.h>

#include <system/comerror.h>

void readAuditSettings(const QString& hiveFile, Accpac::AuditOptions& options)
{
    QString error;
    const auto hive = Registry::HiveSnapshot::read(hiveFile, &error);
    if (!hive) {
        options.settings.reset();
        options.settingsMissing =
            QStringLiteral("the settings hive \"%1\" cannot be read (%2)").arg(hiveFile, error);
        return;
    }
    const QString key = QLatin1String(Setting::SettingsKey);
    const auto read = [&](const Setting::Entry& entry) {
        return hive->text(key, QLatin1String(entry.name))
            .value_or(QLatin1String(entry.defaultValue));
    };
    Accpac::AuditSettings settings;
    // A value that is no number switches the charge off, as the program then offers none.
    try {
        settings.deliveryChargeOn = Setting::toNumber(read(Setting::DeliveryCharge)) == 1;
    } catch (const ComError&) {
        settings.deliveryChargeOn = false;
    }
    settings.deliveryChargeCode = read(Setting::DelCharge).trimmed();
    options.settings = settings;
    options.settingsMissing.clear();
}
