// The string pool: strings kept in adding order, named by 1-based position.
#include "text/StringPool.h"

#include <deque>
#include <utility>

namespace {

class StringPoolImpl final : public StringPool {
public:
    int add(std::u16string text) override {
        strings_.push_back(std::move(text));
        return static_cast<int>(strings_.size());
    }
    const std::u16string* get(int id) const override {
        if (id < 1 || static_cast<size_t>(id) > strings_.size()) return nullptr;
        return &strings_[static_cast<size_t>(id) - 1];
    }

private:
    std::deque<std::u16string> strings_;  // a deque keeps earlier strings in place
};

}  // namespace

std::unique_ptr<StringPool> createStringPool() { return std::make_unique<StringPoolImpl>(); }
