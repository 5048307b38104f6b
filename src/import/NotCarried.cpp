// The kinds of loss of an import, each once.
#include "import/NotCarried.h"

void NotCarried::note(std::string_view what) {
    if (seen_.contains(what)) return;
    seen_.emplace(what);
    kinds_.emplace_back(what);
}
