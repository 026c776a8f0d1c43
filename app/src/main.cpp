#include <app/modstart.h>

#include <commandline.h>
#include <core/appstate.h>
#include <core/log.h>
#include <resources/resources.h>

#include <QApplication>
#include <QWidget>

namespace {

const char* const Usage = "tallymerge [--help] [--version] [--verbose]";

// The program takes no arguments of its own but --verbose (Qt's, such as -platform, are
// taken by QApplication before these are read).
std::optional<int> answerCommandLine(const QStringList& arguments, bool* verbose = nullptr)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Invoices several shipments of one customer as one Order Entry invoice."));
    const QCommandLineOption verboseOption(
        QStringLiteral("verbose"),
        QStringLiteral("Writes the detail (the grid's statement) to the log as well."));
    parser.addOption(verboseOption);
    const auto status = CommandLine::parse(parser, arguments, QString::fromLatin1(Usage));
    if (verbose)
        *verbose = parser.isSet(verboseOption);
    if (status || parser.positionalArguments().isEmpty())
        return status;
    return CommandLine::badUsage(
        QStringLiteral("Unexpected argument '%1'").arg(parser.positionalArguments().first()),
        QString::fromLatin1(Usage));
}

} // namespace

int main(int argc, char* argv[])
{
    // --help and --version are answered without a display, so that they work anywhere.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (CommandLine::asksForHelpOrVersion(arguments)) {
        QCoreApplication app(argc, argv);
        return answerCommandLine(QCoreApplication::arguments()).value_or(0);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationVersion(modStart::ProgramVersion());
    ProgramLog::Options logOptions;
    if (const auto status = answerCommandLine(QApplication::arguments(), &logOptions.verbose))
        return *status;
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
