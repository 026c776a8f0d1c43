#include <core/finder.h>

#include <core/busy.h>
#include <core/reporters.h>
#include <core/session.h>

#include <accpac/finder.h>
#include <accpac/standin.h>

#include <QApplication>

namespace modGeneral {

QVariantList Show_Finder(const QString& viewId, const QString& filter, const QString& source,
                         QWidget* parent)
{
    BusyCursor busy;
    try {
        std::unique_ptr<AccpacFinder> finder = Accpac::createFinder();
        finder->SetSession(&Session());
        finder->SetViewID(viewId);
        finder->SetFilter(filter);
        if (!finder->Show(parent))
            return {};
        QApplication::processEvents();
        return finder->Values();
    } catch (const std::exception& failure) {
        reportFailure(failure, source, Reporter::Accpac);
        return {};
    }
}

} // namespace modGeneral
