// glimmerpick-cli: the command-line front end over the same engine as the desktop program.
#include "app/CommonVarsC.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace
{

const char* const Usage = "Usage: glimmerpick-cli [options] URLFILE\n"
                          "Fetches every URL of URLFILE and prints the regular-expression matches, one per line.\n"
                          "\n"
                          "  -h, --help               show this help and exit\n"
                          "      --version            show the version and exit\n";

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const CommonVars vars;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", qPrintable(vars.SOFTWARENAME), qPrintable(vars.SOFTWAREVERSION));
            return 0;
        }
    }
    std::fprintf(stderr, "glimmerpick-cli: runs are not available yet; see --help\n");
    return 2;
}
