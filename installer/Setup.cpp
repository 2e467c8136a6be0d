// The program: see Program.h for what runs and in which order.
#include "installer/Program.h"

int main() { return RunInstaller(ProgramHost); }
