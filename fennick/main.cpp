#include "fennick/MainWindow.h"
#include "toolkit/gui/Program.h"

int main(int argc, char** argv) { return gui::RunProgram<fennick::MainWindow>(argc, argv); }
