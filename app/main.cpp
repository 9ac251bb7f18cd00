// Program entry: no arguments are read; the forum addresses are fixed when
// the program is built.
#include "app/composition.h"
#include "app/endpoints.h"

int main() { return brevane::app::RunProgram(brevane::app::BuiltInEndpoints()); }
