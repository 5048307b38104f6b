// Watch mode (-w): compile, then compile again whenever the source, a file it
// included or the dictionary changes, until Ctrl-C or SIGTERM.
#pragma once

#include <functional>
#include <string>

struct RunSettings;

// Runs `compile` (one whole run: its messages, hints and verdict), then waits
// for a file the run read to change, prints the settings again and runs it
// again, and so on. A stop signal ends the waiting; one that comes during a run
// lets the run finish first, so every file it writes is complete. Returns the
// exit status, 0.
int watchAndCompile(const RunSettings& settings, const std::string& exeDir,
                    const std::function<void()>& compile);
