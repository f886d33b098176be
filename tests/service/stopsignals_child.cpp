// A process for tst_stopsignals: installs the stop signals as the program does, raises the signals
// named on its command line (TERM, INT, HUP) before its event loop runs, then prints
// "stop <signal>" for the stop request that reaches the loop and exits 0.
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "stopsignals.h"

int main(int argc, char **argv)
{
    if (!StopSignals::install())
        return 3;
    QCoreApplication app(argc, argv);
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::stopRequested, [](int sig) {
        std::printf("stop %d\n", sig);
        std::fflush(stdout);
        closeLikeTheOperator(nullptr);
    });
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "TERM"))
            raise(SIGTERM);
        else if (!std::strcmp(argv[i], "INT"))
            raise(SIGINT);
        else if (!std::strcmp(argv[i], "HUP"))
            raise(SIGHUP);
    }
    std::printf("raised\n");
    std::fflush(stdout);
    return app.exec();
}
