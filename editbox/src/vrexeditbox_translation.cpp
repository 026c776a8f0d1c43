// The library's own translations: compiled from editbox/translations at build time and
// carried inside the library, so an installed copy needs no file paths to find them.
#include <vrexeditbox/vrexeditbox.h>

#include <QCoreApplication>
#include <QTranslator>

#include <memory>

bool VrexEditbox::installTranslator(const QLocale& locale)
{
    // One translator at a time: a new language replaces the one installed before.
    static std::unique_ptr<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("vrexeditbox"), QStringLiteral("_"),
                          QStringLiteral(":/vrexeditbox/i18n")))
        return false;
    if (!QCoreApplication::installTranslator(translator.get()))
        return false;
    installed = std::move(translator);
    return true;
}
