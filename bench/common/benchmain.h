#pragma once

#include <core/systemlocale.h>

#include <QApplication>
#include <QLocale>

#include <benchmark/benchmark.h>

#include <functional>

// The main of every benchmark program that needs widgets: a QApplication (offscreen unless
// a platform is chosen), the English (United States) locale the figures are read in, then
// the benchmarks. beforeQuit releases what must go while the application still lives.
inline int runBenchmarks(int argc, char** argv, const std::function<void()>& beforeQuit = {})
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SystemLocale::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (beforeQuit)
        beforeQuit();
    return 0;
}
