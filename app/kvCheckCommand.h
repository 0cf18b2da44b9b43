// `korvell --check [SCRIPT...]`: checks scripts without playing them, no
// window, and prints the findings in the compiler's format. The exit code
// is 0 when nothing was printed, 1 for warnings only, 2 for any error.
#pragma once

#include <string>
#include <vector>

namespace Korvell {

int runCheck(const std::vector<std::string>& scripts);

} // namespace Korvell
