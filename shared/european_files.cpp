#include "shared/european_files.h"

namespace zvrx {

void EuropeanFileName(int entry, char name[7]) {
  name[0] = 'I';
  name[1] = 'S';
  name[2] = 'O';
  name[3] = '5';
  name[4] = static_cast<char>('0' + entry / 10 % 10);
  name[5] = static_cast<char>('0' + entry % 10);
  name[6] = '\0';
}

}  // namespace zvrx
