#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
        std::puts("usage: qrnconv <sample|info|save|csv|frame|gif> ...");
        return 0;
    }
    std::fputs("qrnconv: subcommand missing (see --help)\n", stderr);
    return 2;
}
