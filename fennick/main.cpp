#include "fennick/frmMain.h"
#include "toolkit/gui/mdlProgram.h"

int main(int argc, char** argv) { return mdlGui::RunProgram<fennick::frmMain>(argc, argv); }
