// The shipped program: see Program.h for what runs and in which order. Developer builds
// use Setup_developer.cpp instead.
#include "installer/Program.h"

int main() { return RunInstaller(ProgramHost); }
