// Watch mode (-w): compile, then compile again whenever the source, a file it
// included or the dictionary changes, until Ctrl-C or SIGTERM.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct RunSettings;

// Runs `compile` (one whole run: its messages, hints and verdict; it returns
// the paths of the files the run read), then waits for one of them to change,
// prints the settings again and runs it
// again, and so on. A stop signal ends the waiting; one that comes during a run
// lets the run finish first, so every file it writes is complete. Returns the
// exit status, 0.
int watchAndCompile(const RunSettings& settings, const std::string& exeDir,
                    const std::function<std::vector<std::string>()>& compile);
