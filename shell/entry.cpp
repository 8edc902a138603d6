#include "shell/entry.h"

namespace kel::shell {

bool creationFailed = false;

} // namespace kel::shell
