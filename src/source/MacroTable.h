// The macros defined so far: a name space shared by one-line ("equ") and block
// ("macro") definitions, which only grows during a run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "source/Token.h"

struct MacroDefinition {
    static constexpr int32_t kOneLine = 1;  // defined by "equ": the body is copied
    static constexpr int32_t kBlock = 2;    // defined by "macro": the body is expanded

    int32_t type = 0;
    // Each token with where it is written: a one-line body's tokens that uses
    // in it made keep where their macros wrote them.
    std::vector<LocatedToken> body;
};

class MacroTable {
public:
    // Stores the definition under the name, replacing one stored there before.
    virtual void define(const std::u16string& name, int32_t type, std::vector<LocatedToken> body) = 0;
    // The definition stored under the name, or null.
    virtual const MacroDefinition* find(const std::u16string& name) const = 0;
    virtual ~MacroTable() = default;
};

std::unique_ptr<MacroTable> createMacroTable();
