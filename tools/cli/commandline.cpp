#include "commandline.h"

#include <QCoreApplication>

#include <cstdio>

namespace CommandLine {

int badUsage(const QString& problem, const QString& usage)
{
    QString line = QCoreApplication::applicationName() + QStringLiteral(": ") + problem;
    if (!line.endsWith(QLatin1Char('.')))
        line += QLatin1Char('.');
    std::fprintf(stderr, "%s Usage: %s\n", qPrintable(line), qPrintable(usage));
    return BadUsage;
}

std::optional<int> parse(QCommandLineParser& parser, const QStringList& arguments,
                         const QString& usage)
{
    if (QCoreApplication::applicationVersion().isEmpty())
        QCoreApplication::setApplicationVersion(QStringLiteral(TALLYMERGE_VERSION));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(arguments))
        return badUsage(parser.errorText(), usage);
    if (parser.isSet(QStringLiteral("help-all")))
        parser.process(arguments); // prints the help with Qt's own options and exits
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    return std::nullopt;
}

bool asksForHelpOrVersion(const QStringList& arguments)
{
    static const QStringList answered = {QStringLiteral("-h"),     QStringLiteral("-?"),
                                         QStringLiteral("--help"), QStringLiteral("--help-all"),
                                         QStringLiteral("-v"),     QStringLiteral("--version")};
    for (const QString& argument : arguments.mid(1))
        if (answered.contains(argument))
            return true;
    return false;
}

} // namespace CommandLine
