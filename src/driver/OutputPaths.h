// Refusing export paths that name the input or another output: writing there
// would destroy the source or one of the files of the same run.
#pragma once

struct RunSettings;

// True when every export path names a file of its own; otherwise the clash is
// reported as an error.
bool exportPathsAreDistinct(const RunSettings& settings);
