#include "tobrenz/MainWindow.h"
#include "toolkit/gui/Program.h"

int main(int argc, char** argv) { return gui::RunProgram<tobrenz::MainWindow>(argc, argv); }
