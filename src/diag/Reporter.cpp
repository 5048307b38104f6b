// The process-wide reporter of the program: a console reporter that lives as
// long as the process.
#include "diag/Reporter.h"

#include "diag/ConsoleReporter.h"

Reporter& getReporter() {
    static Reporter* instance = createConsoleReporter().release();
    return *instance;
}
