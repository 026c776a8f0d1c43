#pragma once

#include <accpac/errors.h>

#include <QList>

#include <cstdint>

namespace Accpac {

// Priorities of Errors entries. 1 and 2 tell the caller that the failed step may be skipped
// and the work go on; 3 and 4 that it may not.
namespace Priority {
constexpr int Warning = 1;
constexpr int Information = 2;
constexpr int Error = 3;
constexpr int Severe = 4;
} // namespace Priority

// The number every failed view call throws with (its details are in Errors).
constexpr std::int32_t ViewErrorNumber = -2147204095; // 0x80044001

class ErrorsImpl final : public AccpacErrors
{
public:
    int Count() const override { return int(m_entries.size()); }
    std::pair<QString, int> Get(int index) const override;
    QString Message(int index) const override;
    void Clear() override { m_entries.clear(); }

    void add(const QString& message, int priority) { m_entries.append({message, priority}); }

private:
    QList<std::pair<QString, int>> m_entries;
};

} // namespace Accpac
