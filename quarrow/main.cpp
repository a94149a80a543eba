#include "quarrow/frmMain.h"
#include "toolkit/gui/mdlProgram.h"

int main(int argc, char** argv) { return mdlGui::RunProgram<quarrow::frmMain>(argc, argv); }
