#include "quarrow/MainWindow.h"
#include "toolkit/gui/Program.h"

int main(int argc, char** argv) { return gui::RunProgram<quarrow::MainWindow>(argc, argv); }
