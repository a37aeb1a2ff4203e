#include "fmhost_api.h"

int main(int argc, char** argv) { return fmhost::RunCommandLine(argc, argv); }
