#include "tobrenz/frmMain.h"
#include "toolkit/gui/mdlProgram.h"

int main(int argc, char** argv) { return mdlGui::RunProgram<tobrenz::frmMain>(argc, argv); }
