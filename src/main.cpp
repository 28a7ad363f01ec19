// Zeph: an arcade puzzle game. Everything happens in runZeph().
#include "app/App.h"

int main() { return runZeph(); }
