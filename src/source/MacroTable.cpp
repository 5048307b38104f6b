// The macro table, keyed by the code page 932 bytes of each name so that names
// compare byte for byte.
#include "source/MacroTable.h"

#include <unordered_map>

#include "text/CharCode.h"

namespace {

class MacroTableImpl final : public MacroTable {
public:
    void define(const std::u16string& name, int32_t type, std::vector<LocatedToken> body) override {
        auto definition = std::make_unique<MacroDefinition>();
        definition->type = type;
        definition->body = std::move(body);
        definitions_[codesToBytes(name)] = std::move(definition);
    }

    const MacroDefinition* find(const std::u16string& name) const override {
        const auto found = definitions_.find(codesToBytes(name));
        return found == definitions_.end() ? nullptr : found->second.get();
    }

private:
    std::unordered_map<std::string, std::unique_ptr<MacroDefinition>> definitions_;
};

}  // namespace

std::unique_ptr<MacroTable> createMacroTable() { return std::make_unique<MacroTableImpl>(); }
