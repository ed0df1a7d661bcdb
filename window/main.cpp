#include "core/state/sharedstate.h"
#include "window/form1.h"
#include "window/kovapp.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    // --help and --version are answered before Qt starts, so that they work
    // without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs("Usage: kov\n"
                       "Opens the kov window: plot a cyclic loading test record, split it into cycles\n"
                       "and compute the absorbed energy and the equivalent damping factor of each.\n"
                       "kov-batch analyses records without a window (kov-batch --help).\n"
                       "\n"
                       "  --help     show this help and exit\n"
                       "  --version  show the version and exit\n",
                       stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("kov " KOV_VERSION "\n", stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    }
    QApplication app(argc, argv);
    kov::SharedState state;
    auto form = kov::startProgram(state);
    return QApplication::exec();
}
