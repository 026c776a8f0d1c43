#pragma once

#ifndef _WIN32

#include <QString>

#include <memory>
#include <optional>

namespace Registry {

class Hive;

// A hive file read once, for a program that only looks at another machine's settings (the
// books' auditor). Reading never locks, changes or sets the file aside, unlike the
// registry calls, which set a damaged hive aside. Not available under _WIN32.
class HiveSnapshot
{
public:
    // The hive in `file` (its root is the file's base name, e.g. HKEY_LOCAL_MACHINE.reg);
    // nothing, with the reason in *error, when the file cannot be read or parsed.
    static std::optional<HiveSnapshot> read(const QString& file, QString* error = nullptr);

    // A REG_SZ value's text, cut at its first NUL; nothing when the key or value is absent
    // or holds another type, as a reader's default would then apply.
    std::optional<QString> text(const QString& keyPath, const QString& valueName) const;

private:
    explicit HiveSnapshot(std::shared_ptr<const Hive> hive) : m_hive(std::move(hive)) {}
    std::shared_ptr<const Hive> m_hive;
};

} // namespace Registry

#endif
