// The language server on a pair of streams: messages read on a thread of
// their own into a bounded queue, handled in order by a Session, the changed
// documents checked whenever the queue runs empty.
#pragma once

#include <cstdio>
#include <istream>

class Checker;
class ReferenceTables;

// Serves until "exit" or the end of the input; the process's exit code.
// After "exit" a reading thread may still wait on `in`, so an input that
// has not ended by then must outlive the process (standard input does).
int serveLanguage(std::istream& in, std::FILE* out, Checker& checker,
                  const ReferenceTables& tables);
