#include "quarrow/frmMain.h"
#include "toolkit/gui/mdlProgram.h"

int main(int argc, char** argv) {
  return mdlGui::RunProgram(argc, argv, [](const mdlGui::StartInfo& start) {
    return std::make_unique<quarrow::frmMain>(start);
  });
}
