// Stand-in for the terminal's updater: records its arguments.
#include <windows.h>

#include "demo/standins/record.h"

int wmain() {
  vlt::demo::Record(L"Atualizador.log", vlt::demo::Arguments());
  return 0;
}
