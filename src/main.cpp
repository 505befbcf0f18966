#include "usi/command_loop.h"

int main() { return usi_main(); }
