// Program entry: the whole control flow lives in qnd_main (driver/).
#include "driver/command_line.h"

int main(int argc, char** argv) { return qnd_main(argc, argv); }
