// korvane [FOLDER or DRIVE ...]: the program with its windows.

#include "ui/main/Startup.h"

int main(int argc, char** argv) { return RunKorvane(argc, argv); }
