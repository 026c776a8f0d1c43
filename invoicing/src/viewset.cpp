#include "viewset.h"

#include <accpac/view.h>
#include <system/comerror.h>

#include <algorithm>

namespace {

QString viewIdOf(const QString& key)
{
    return key.section(QLatin1Char('/'), 0, 0);
}

} // namespace

void ViewSet::open(const QString& key)
{
    modGeneral::ViewPtr view = modGeneral::OpenView(viewIdOf(key));
    m_views.emplace_back(key, std::move(view));
}

AccpacView& ViewSet::operator[](const QString& key) const
{
    const auto found = std::find_if(m_views.begin(), m_views.end(),
                                    [&](const auto& entry) { return entry.first == key; });
    if (found == m_views.end() || !found->second)
        throw ComError(ComErrorNumber::InvalidProcedureCall,
                       QStringLiteral("View %1 is not open.").arg(viewIdOf(key)));
    return *found->second;
}

void ViewSet::compose(const QStringList& keys) const
{
    std::vector<AccpacView*> passed;
    for (qsizetype i = 1; i < keys.size(); ++i)
        passed.push_back(&(*this)[keys.at(i)]);
    (*this)[keys.first()].Compose(passed);
}

void ViewSet::close(const QString& key)
{
    const auto found = std::find_if(m_views.begin(), m_views.end(),
                                    [&](const auto& entry) { return entry.first == key; });
    if (found == m_views.end() || !found->second)
        throw ComError(ComErrorNumber::InvalidProcedureCall,
                       QStringLiteral("View %1 is not open.").arg(viewIdOf(key)));
    found->second->Close();
    // Closed now: release it without a second Close.
    delete found->second.release();
    m_views.erase(found);
}

void ViewSet::releaseAll()
{
    for (auto& entry : m_views)
        entry.second.reset();
    m_views.clear();
}
