#include <registry/hivesnapshot.h>

#include "hive.h"

#include <registry/registry.h>

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace Registry {

std::optional<HiveSnapshot> HiveSnapshot::read(const QString& file, QString* error)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        if (error)
            *error = in.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        if (error)
            *error = in.errorString();
        return std::nullopt;
    }
    auto hive = Hive::fromRegText(bytes, QFileInfo(file).completeBaseName(), error);
    if (!hive)
        return std::nullopt;
    return HiveSnapshot(std::make_shared<const Hive>(std::move(*hive)));
}

std::optional<QString> HiveSnapshot::text(const QString& keyPath, const QString& valueName) const
{
    const Hive::Value* value = m_hive->value(Hive::joinPath(QString(), keyPath), valueName);
    if (!value || value->type != REG_SZ)
        return std::nullopt;
    QString text = QStringDecoder(QStringDecoder::Utf16LE).decode(value->data);
    if (const qsizetype nul = text.indexOf(QChar(0)); nul >= 0)
        text.truncate(nul);
    return text;
}

} // namespace Registry
