#include <app/modstart.h>

#include <commandline.h>
#include <core/appstate.h>
#include <core/log.h>
#include <resources/resources.h>

#include <QApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QWidget>

#include <cstdio>

namespace {

const char* const Usage = "tallymerge [--help] [--version] [--verbose]";

// The options QApplication takes for itself (the platform, the style, the window's place):
// declared, unseen in the help, so that the command line is read before they are taken.
void addQtOptions(QCommandLineParser& parser)
{
    const auto addHidden = [&parser](const QString& names, const QString& valueName) {
        for (const QString& name : names.split(QLatin1Char(' '))) {
            QCommandLineOption option(name, QString(), valueName);
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
    };
    addHidden(QStringLiteral("platform platformpluginpath platformtheme plugin qwindowgeometry "
                             "geometry qwindowicon icon qwindowtitle title name display "
                             "session style stylesheet qmljsdebugger"),
              QStringLiteral("value"));
    addHidden(QStringLiteral("reverse widgetcount nograb dograb testability"), QString());
}

// The program takes no arguments of its own but --verbose; Qt's are let through, as Qt
// reads them with one dash or two ("-platform offscreen").
std::optional<int> answerCommandLine(const QStringList& arguments, bool* verbose = nullptr)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Invoices several shipments of one customer as one Order Entry invoice."));
    const QCommandLineOption verboseOption(
        QStringLiteral("verbose"),
        QStringLiteral("Writes the detail (the grid's statement) to the log as well."));
    parser.addOption(verboseOption);
    addQtOptions(parser);
    const auto status = CommandLine::parse(parser, arguments, QString::fromLatin1(Usage));
    if (verbose)
        *verbose = parser.isSet(verboseOption);
    if (status || parser.positionalArguments().isEmpty())
        return status;
    return CommandLine::badUsage(
        QStringLiteral("Unexpected argument '%1'").arg(parser.positionalArguments().first()),
        QString::fromLatin1(Usage));
}

// Whether Qt has a display to open the window on: a platform named on the command line or
// in QT_QPA_PLATFORM, or the X or Wayland display of a desktop session. Without one Qt
// would abort.
bool hasDisplay(const QStringList& arguments)
{
    for (const QString& argument : arguments)
        if (argument.section(u'=', 0, 0).remove(QRegularExpression(QStringLiteral("^--?"))) ==
            QLatin1String("platform"))
            return true;
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char* argv[])
{
    // The command line is answered before the program connects to a display, so that the
    // help, the version and a bad option are answered anywhere, a terminal without one too.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (CommandLine::asksForHelpOrVersion(arguments)) {
        QCoreApplication app(argc, argv); // the help names the program from its arguments
        return answerCommandLine(QCoreApplication::arguments()).value_or(0);
    }
    // With no application yet, the name for a message is set from the program's file.
    QCoreApplication::setApplicationName(QFileInfo(arguments.constFirst()).fileName());
    ProgramLog::Options logOptions;
    if (const auto status = answerCommandLine(arguments, &logOptions.verbose))
        return *status;
    if (!hasDisplay(arguments)) {
        std::fprintf(stderr,
                     "%s: there is no display to show the window on (DISPLAY is not "
                     "set); start the program in a desktop session.\n",
                     qPrintable(QCoreApplication::applicationName()));
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationVersion(modStart::ProgramVersion());
    QApplication::setApplicationName(modGeneral::ProgramTitle);
    QApplication::setWindowIcon(Resources::ProgramIcon());
    const ProgramLog::Log log(logOptions);
    modStart::Main();
    // Main shows the first window; the program lives while a window is open, and ends at
    // once when none was shown (a failed or cancelled sign-on).
    bool anyShown = false;
    for (QWidget* widget : QApplication::topLevelWidgets())
        anyShown = anyShown || widget->isVisible();
    if (!anyShown)
        return 0;
    return QApplication::exec();
}
